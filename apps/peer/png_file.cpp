#include "png_file.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb/stb_image_write.h>

namespace vantro::peer {

bool writePng(const std::string& path, const Image& image) {
    if (image.empty() || image.rgba.size() != size_t(image.width) * size_t(image.height) * 4)
        return false;
    return stbi_write_png(path.c_str(), image.width, image.height, 4, image.rgba.data(), image.width * 4) != 0;
}

}  // namespace vantro::peer
