#pragma once
// The BMP file image in which an embedded bitmap travels to the renderer: a 14-byte
// file header and a 40-byte info header (54 bytes), for 1, 4 and 8 bits per pixel a
// colour table, then the pixel rows exactly as the bitmap holds them.
//
// The document's indexed bitmaps carry no palette of their own (images with one are
// turned into 24-bit rows when a document is converted), so an index is a grey level:
// the colour table is a ramp from black (index 0) to white (the highest index). BMP
// readers refuse an indexed image without a colour table.

#include <cstdint>
#include <functional>
#include <vector>

namespace vantro::materials {

constexpr uint32_t kBmpHeaderSize = 54;

// Bytes of the colour table that follows the headers: 4 per entry, 2^bits entries for
// 1, 4 and 8 bits per pixel, none for deeper pixels.
uint32_t BmpColourTableSize(uint16_t bitsPerPixel);

// What the image is built from; the numbers come from the document's bitmap.
struct BmpSource {
    int32_t width = 0;
    int32_t height = 0;         // sign kept: negative means rows run top-down
    uint16_t bitsPerPixel = 0;  // 1, 4, 8, 16, 24 or 32
    uint32_t scanSize = 0;      // bytes of one row
    uint32_t imageSize = 0;     // bytes of all rows
    // Start of row i (0 <= i < |height|), scanSize bytes; null for a missing row.
    std::function<const uint8_t*(uint32_t row)> row;
};

// Builds the headers, the colour table, then for each row index 0 .. |height| - 1
// that row's scanSize bytes, imageSize bytes of rows in all. Bytes of imageSize not
// covered by rows, and missing rows, are zero. Returns an empty vector when the
// numbers do not describe a well-formed image (width or scanSize 0, a depth BMP does
// not have, a row shorter than width pixels, |height| x scanSize above imageSize,
// sizes beyond 32 bits) or the memory cannot be had. Any thread.
std::vector<uint8_t> BuildBmpImage(const BmpSource& source);

}  // namespace vantro::materials
