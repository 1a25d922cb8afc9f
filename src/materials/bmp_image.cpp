#include "bmp_image.h"

#include <cstring>
#include <limits>
#include <new>

namespace vantro::materials {

namespace {

void put16(uint8_t* at, uint16_t v) {
    at[0] = uint8_t(v);
    at[1] = uint8_t(v >> 8);
}

void put32(uint8_t* at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        at[i] = uint8_t(v >> (8 * i));
}

bool isBmpDepth(uint16_t bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32; }

// Grey ramp: entry i is (i * 255 / (n - 1)) in blue, green and red, reserved byte 0.
void putGreyRamp(uint8_t* at, uint32_t entries) {
    for (uint32_t i = 0; i < entries; ++i) {
        const auto grey = uint8_t(i * 255 / (entries - 1));
        at[4 * i] = at[4 * i + 1] = at[4 * i + 2] = grey;
    }
}

}  // namespace

uint32_t BmpColourTableSize(uint16_t bitsPerPixel) { return bitsPerPixel <= 8 ? 4u << bitsPerPixel : 0u; }

std::vector<uint8_t> BuildBmpImage(const BmpSource& source) {
    const uint64_t rows = source.height < 0 ? uint64_t(-int64_t(source.height)) : uint64_t(source.height);
    if (source.width <= 0 || rows == 0 || source.scanSize == 0 || !source.row || !isBmpDepth(source.bitsPerPixel))
        return {};
    if ((uint64_t(source.width) * source.bitsPerPixel + 7) / 8 > source.scanSize)
        return {};
    if (rows * source.scanSize > source.imageSize)
        return {};
    const uint32_t offset = kBmpHeaderSize + BmpColourTableSize(source.bitsPerPixel);
    if (uint64_t(source.imageSize) + offset > std::numeric_limits<uint32_t>::max())
        return {};
    std::vector<uint8_t> image;
    try {
        image.assign(size_t(source.imageSize) + offset, 0);
    } catch (const std::bad_alloc&) {
        return {};
    }
    uint8_t* h = image.data();
    put16(h + 0, 0x4D42);
    put32(h + 2, source.imageSize + offset);
    put32(h + 10, offset);
    put32(h + 14, 40);
    put32(h + 18, uint32_t(source.width));
    put32(h + 22, uint32_t(source.height));
    put16(h + 26, 1);
    put16(h + 28, source.bitsPerPixel);
    put32(h + 34, source.imageSize);
    putGreyRamp(h + kBmpHeaderSize, BmpColourTableSize(source.bitsPerPixel) / 4);
    for (uint32_t i = 0; i < rows; ++i) {
        if (const uint8_t* row = source.row(i))
            std::memcpy(h + offset + uint64_t(i) * source.scanSize, row, source.scanSize);
    }
    return image;
}

}  // namespace vantro::materials
