#pragma once
// A picture held by the user-interface stand-ins (image lists, menu and dialog
// bitmaps, icons): 8-bit RGBA, top row first, not premultiplied. The stand-in of a
// bitmap or icon handle; the host program draws from it. A plain value.

#include <cstddef>
#include <cstdint>
#include <vector>

struct CRhinoUiImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;  // width * height * 4 bytes

    bool IsEmpty() const { return width <= 0 || height <= 0 || rgba.size() != size_t(width) * size_t(height) * 4; }
    // The pixel at x, y (RGBA); null outside the picture.
    const uint8_t* Pixel(int x, int y) const {
        if (IsEmpty() || x < 0 || y < 0 || x >= width || y >= height)
            return nullptr;
        return &rgba[(size_t(y) * size_t(width) + size_t(x)) * 4];
    }
    // The part of the picture at x, y of size w x h (clipped to the picture).
    CRhinoUiImage Crop(int x, int y, int w, int h) const;
};
