#include "materials/texture_file_image.h"

#include <climits>
#include <fstream>
#include <memory>

#include "materials/bmp_image.h"
#include "platform/utf.h"

// Internal linkage, so that test code may use its own copy of the decoder.
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_BMP
#define STBI_ONLY_TGA
#define STBI_MAX_DIMENSIONS 65536
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wunused-function"
#elif defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#include <stb/stb_image.h>
#if defined(__clang__)
#pragma clang diagnostic pop
#elif defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace {

struct FreePixels {
    void operator()(stbi_uc* pixels) const { stbi_image_free(pixels); }
};

}  // namespace

std::vector<uint8_t> TextureFileImage(const uint8_t* bytes, size_t size) {
    if (!bytes || size == 0 || size > size_t(INT_MAX))
        return {};
    int width = 0;
    int height = 0;
    int channels = 0;
    // The header alone first, so that a file cannot make the decoder allocate more than
    // the limit.
    if (!stbi_info_from_memory(bytes, int(size), &width, &height, &channels) || width <= 0 || height <= 0 ||
        uint64_t(width) * uint64_t(height) > kMaxTexturePixels)
        return {};
    std::unique_ptr<stbi_uc, FreePixels> rgba(stbi_load_from_memory(bytes, int(size), &width, &height, &channels, 4));
    if (!rgba || width <= 0 || height <= 0 || uint64_t(width) * uint64_t(height) > kMaxTexturePixels)
        return {};
    const uint32_t scan = uint32_t(width) * 4;
    std::vector<uint8_t> bgra(size_t(scan) * size_t(height));
    const stbi_uc* from = rgba.get();
    for (size_t i = 0; i < bgra.size(); i += 4) {
        bgra[i] = from[i + 2];
        bgra[i + 1] = from[i + 1];
        bgra[i + 2] = from[i];
        bgra[i + 3] = from[i + 3];
    }
    BmpSource source;
    source.width = width;
    source.height = -height;  // the decoder's rows run top-down
    source.bitsPerPixel = 32;
    source.scanSize = scan;
    source.imageSize = uint32_t(bgra.size());
    source.row = [&bgra, scan](uint32_t row) { return bgra.data() + size_t(row) * scan; };
    return BuildBmpImage(source);
}

std::vector<uint8_t> ReadTextureFileImage(const std::u16string& path) {
    std::ifstream file(vantro::platform::toUtf8(path), std::ios::binary | std::ios::ate);
    if (!file)
        return {};
    const std::streamoff size = file.tellg();
    if (size <= 0 || uint64_t(size) > kMaxTextureFileBytes)
        return {};
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    file.seekg(0);
    if (!file.read(reinterpret_cast<char*>(bytes.data()), size))
        return {};
    return TextureFileImage(bytes.data(), bytes.size());
}
