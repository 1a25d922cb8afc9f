#include "image_decode.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#include <stb/stb_image.h>
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

DecodedImage DecodeImage(const uint8_t* bytes, size_t size) {
    DecodedImage image;
    int channels = 0;
    stbi_uc* pixels = stbi_load_from_memory(bytes, int(size), &image.width, &image.height, &channels, 4);
    if (!pixels)
        return image;
    image.rgba.assign(pixels, pixels + size_t(image.width) * size_t(image.height) * 4);
    stbi_image_free(pixels);
    return image;
}

std::vector<uint8_t> EncodePng(int width, int height, const std::vector<uint8_t>& rgba) {
    std::vector<uint8_t> png;
    auto append = [](void* context, void* data, int size) {
        auto* out = static_cast<std::vector<uint8_t>*>(context);
        out->insert(out->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
    };
    stbi_write_png_to_func(append, &png, width, height, 4, rgba.data(), width * 4);
    return png;
}
