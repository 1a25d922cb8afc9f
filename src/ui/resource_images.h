#pragma once
// The module's pictures as images: PNG resources decoded (LoadImageW / LoadBitmapW),
// an icon group's image of a size, and the halftone stretch the About picture gets at
// other screen resolutions. Any thread (the resources are constant).

#include <cstdint>

#include "sdk/app/rhino_ui_image.h"
#include "module_resources.h"

namespace vantro::ui {

// The picture of resource (kind, id); empty when the module has none or it does not
// decode.
CRhinoUiImage LoadImageResource(ImageKind kind, uint32_t id);
// The image of icon group id that is size x size; when the group has no such size,
// its smallest larger image (else its largest) stretched to it. Empty when missing.
CRhinoUiImage LoadIconResource(uint32_t id, int size);
// image stretched to width x height with HALFTONE: each target pixel is the
// area-weighted average of the source pixels it covers. Empty for an empty image or a
// size below 1.
CRhinoUiImage StretchHalftone(const CRhinoUiImage& image, int width, int height);
// MulDiv: value * numerator / denominator, rounded to nearest; -1 when denominator is 0.
int MulDiv(int value, int numerator, int denominator);

}  // namespace vantro::ui
