#pragma once
// PNG files of the peer's pictures.

#include <string>

#include "mirror_decoders.h"

namespace vantro::peer {

// Writes image (RGBA, top row first) as a PNG file. False when it is empty or the
// file cannot be written.
bool writePng(const std::string& path, const Image& image);

// Reads a PNG (or any image decodeImage knows) from a file; empty when it cannot.
inline Image readPng(const std::string& path) { return loadImageFile(path); }

}  // namespace vantro::peer
