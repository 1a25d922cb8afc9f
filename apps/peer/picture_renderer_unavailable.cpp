// The picture renderer of a build without off-screen GL: every picture is refused
// with the reason, which the peer prints in place of the picture's line.

#include "picture_renderer.h"

namespace vantro::peer {

struct PictureRenderer::Context {};

PictureRenderer::PictureRenderer() = default;
PictureRenderer::~PictureRenderer() = default;

bool PictureRenderer::available() { return false; }

bool PictureRenderer::render(const PeerMirror&, int, int, Image& out, std::string& error) {
    out = Image{};
    error = "no pictures in this build (no off-screen OpenGL)";
    return false;
}

}  // namespace vantro::peer
