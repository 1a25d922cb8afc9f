#pragma once
// Decodes an image file held in memory with a real decoder (stb_image), so that tests
// check what a reader of the bytes would see rather than what the writer meant; and
// encodes test pictures as real image files.

#include <cstddef>
#include <cstdint>
#include <vector>

struct DecodedImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;  // top row first, 4 bytes per pixel; empty when decoding failed
};

DecodedImage DecodeImage(const uint8_t* bytes, size_t size);

// The PNG file image of width x height RGBA pixels (top row first), written by a real
// encoder (stb_image_write), so that tests feed the product what an image editor saves.
std::vector<uint8_t> EncodePng(int width, int height, const std::vector<uint8_t>& rgba);
