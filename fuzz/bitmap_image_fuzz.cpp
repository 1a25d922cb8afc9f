// Fuzz target for turning a document's embedded bitmap into the BMP image the renderer
// reads: the size, depth and row numbers come from a document file. The input is
//   i32 width, i32 height, u16 bits per pixel, u32 scan size, u32 image size (little-
//   endian), then the row bytes (a row past the end is missing).
// Numbers that do not describe an image give nothing; anything else must be a BMP a
// real decoder (stb_image) reads at the bitmap's size.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "materials/bmp_image.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#define STBI_NO_STDIO
#include <stb/stb_image.h>

using namespace vantro::materials;

namespace {

template <class T>
T take(const uint8_t*& at) {
    T v;
    std::memcpy(&v, at, sizeof v);
    at += sizeof v;
    return v;
}

constexpr size_t kNumbers = 4 + 4 + 2 + 4 + 4;
constexpr uint32_t kMaxImage = 4u << 20;  // keeps each run small; sizes are checked before allocating

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kNumbers)
        return 0;
    const uint8_t* at = data;
    BmpSource source;
    source.width = take<int32_t>(at);
    source.height = take<int32_t>(at);
    source.bitsPerPixel = take<uint16_t>(at);
    source.scanSize = take<uint32_t>(at);
    source.imageSize = take<uint32_t>(at);
    if (source.imageSize > kMaxImage)
        return 0;
    const uint8_t* rows = at;
    const size_t rowBytes = size - kNumbers;
    source.row = [&](uint32_t i) -> const uint8_t* {
        const uint64_t end = (uint64_t(i) + 1) * source.scanSize;
        return end <= rowBytes ? rows + (end - source.scanSize) : nullptr;
    };
    const std::vector<uint8_t> image = BuildBmpImage(source);
    if (image.empty())
        return 0;
    const uint32_t offset = kBmpHeaderSize + BmpColourTableSize(source.bitsPerPixel);
    if (image.size() != uint64_t(offset) + source.imageSize)
        std::abort();
    int width = 0;
    int height = 0;
    int channels = 0;
    stbi_uc* pixels = stbi_load_from_memory(image.data(), int(image.size()), &width, &height, &channels, 4);
    const int64_t rowsExpected = source.height < 0 ? -int64_t(source.height) : source.height;
    if (!pixels || width != source.width || height != rowsExpected)
        std::abort();
    stbi_image_free(pixels);
    return 0;
}
