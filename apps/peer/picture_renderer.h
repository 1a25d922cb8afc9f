#pragma once
// Draws a mirror into an RGBA picture with OpenGL, off-screen, in Mesa's software
// rasteriser: depth-tested, each material in its colour (its texture modulated when
// it has one), blended by its opacity, back faces culled (a two-sided surface arrives
// with its back copy, so it shows from both sides and a one-sided one only from the
// front), one directional light from over the viewer's shoulder plus an ambient part.
//
// The camera is the mirror's "VIEW" record when it holds a perspective camera;
// without one the whole model is framed from a fixed direction. Depth range is fitted
// to the model's bounds.
//
// GL headers stay inside the .cpp. One renderer owns one context; use it from one
// thread at a time.

#include <memory>
#include <string>

#include "mirror_decoders.h"
#include "peer_mirror.h"

namespace vantro::peer {

class PictureRenderer {
public:
    PictureRenderer();
    ~PictureRenderer();
    PictureRenderer(const PictureRenderer&) = delete;
    PictureRenderer& operator=(const PictureRenderer&) = delete;

    // False where this build has no off-screen GL (the Windows build): render then
    // always fails with a message, and --help says so.
    static bool available();

    // Renders mirror at width x height (each 1..8192) into out (top row first). False
    // with a message in error when no context can be made; out is then empty.
    bool render(const PeerMirror& mirror, int width, int height, Image& out, std::string& error);

private:
    struct Context;
    std::unique_ptr<Context> context_;
};

}  // namespace vantro::peer
