#include "materials/bmp_image.h"

#include <cstring>
#include <limits>
#include <new>

namespace {

void put16(uint8_t* at, uint16_t v) {
    at[0] = uint8_t(v);
    at[1] = uint8_t(v >> 8);
}

void put32(uint8_t* at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        at[i] = uint8_t(v >> (8 * i));
}

}  // namespace

std::vector<uint8_t> BuildBmpImage(const BmpSource& source) {
    const uint64_t rows = source.height < 0 ? uint64_t(-int64_t(source.height)) : uint64_t(source.height);
    if (source.width <= 0 || rows == 0 || source.scanSize == 0 || !source.row)
        return {};
    if (rows * source.scanSize > source.imageSize)
        return {};
    if (uint64_t(source.imageSize) + kBmpHeaderSize > std::numeric_limits<uint32_t>::max())
        return {};
    std::vector<uint8_t> image;
    try {
        image.assign(size_t(source.imageSize) + kBmpHeaderSize, 0);
    } catch (const std::bad_alloc&) {
        return {};
    }
    uint8_t* h = image.data();
    put16(h + 0, 0x4D42);
    put32(h + 2, source.imageSize + kBmpHeaderSize);
    put32(h + 10, kBmpHeaderSize);
    put32(h + 14, 40);
    put32(h + 18, uint32_t(source.width));
    put32(h + 22, uint32_t(source.height));
    put16(h + 26, 1);
    put16(h + 28, source.bitsPerPixel);
    put32(h + 34, source.imageSize);
    for (uint32_t i = 0; i < rows; ++i) {
        if (const uint8_t* row = source.row(i))
            std::memcpy(h + kBmpHeaderSize + uint64_t(i) * source.scanSize, row, source.scanSize);
    }
    return image;
}
