#pragma once
// SendCamera: the renderer's camera from a view's camera, written into the "VIEW"
// record, and MakeViewData, the pure conversion it uses.
//
// The renderer's axes are the document's with y and z exchanged ((x, y, z) ->
// (x, z, y)), its unit the metre. The orientation is a left-handed look-to frame:
// f = normalise(target - eye), r = normalise(up x f), u = f x r; viewMatrix rows are
// r, u, f (each with 0) and the position in metres (with 1): the camera-to-world
// transform. direction points from the target to the camera; fieldOfView is the full
// vertical angle in degrees (57.29578 when the viewport gives no angle). Vector
// arithmetic is single precision; a zero vector normalises to zero.
//
// Main thread only (the display pipeline's notifications and the switches).

#include "link/channel_layout.h"

class ON_Viewport;
class VeloraPlugin;

namespace vantro::plugin {

// The camera payload for a perspective viewport, unitScale metres per document unit.
// cameraKind 6; the reserved bytes zero. The viewport's projection is not looked at.
VantroAPI::ViewData MakeViewData(const ON_Viewport& viewport, float unitScale);

}  // namespace vantro::plugin

// Sends viewport's camera when the link runs with camera synchronisation on and the
// viewport is a perspective view (applyNow 1, the peer woken). When following has
// ended (link stopped or synchronisation off) or the view is no longer a
// perspective view, a camera sent before is withdrawn once: applyNow 0, and for a
// parallel view the all-zero payload; nothing more is sent until a perspective
// camera is sent again. Nothing at all on a closed connection.
void SendCamera(VeloraPlugin& plugin, const ON_Viewport& viewport);
