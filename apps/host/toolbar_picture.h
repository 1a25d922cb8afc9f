#pragma once
// A picture of a dock bar as a user would see it: the bar's background, and each
// visible control drawn from its image list at its rectangle (an enabled button with
// its normal image, a disabled one with its second-state image). Written as PNG.
// Main thread only (reads the dock bar).

#include <string>

#include "sdk/app/rhino_ui_dock_bar.h"

namespace vantro::host {

// The bar at its current size; empty when the bar has no size.
CRhinoUiImage renderToolbar(const CRhinoUiDockBar& bar);

// Writes image as a PNG file; false (with a reason in error) when it cannot.
bool writePng(const std::string& path, const CRhinoUiImage& image, std::string& error);

}  // namespace vantro::host
