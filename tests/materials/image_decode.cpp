#include "image_decode.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#define STBI_NO_STDIO
#include <stb/stb_image.h>

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
