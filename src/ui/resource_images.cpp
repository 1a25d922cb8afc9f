#include "resource_images.h"

#include <algorithm>
#include <cmath>

// The pictures are the module's own (compiled in from resources/ui), so stb_image is
// only ever given PNG files we drew; kept private to this file.
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#include <stb/stb_image.h>

namespace vantro::ui {

namespace {

CRhinoUiImage decode(const ImageResource* resource) {
    CRhinoUiImage image;
    if (!resource)
        return image;
    int channels = 0;
    stbi_uc* pixels =
        stbi_load_from_memory(resource->bytes, int(resource->size), &image.width, &image.height, &channels, 4);
    if (!pixels)
        return {};
    image.rgba.assign(pixels, pixels + size_t(image.width) * size_t(image.height) * 4);
    stbi_image_free(pixels);
    return image;
}

}  // namespace

CRhinoUiImage LoadImageResource(ImageKind kind, uint32_t id) { return decode(FindImageResource(kind, id)); }

CRhinoUiImage LoadIconResource(uint32_t id, int size) {
    size_t count = 0;
    const ImageResource* first = FindImageResources(ImageKind::icon, id, count);
    CRhinoUiImage best;
    for (size_t i = 0; i < count; ++i) {
        CRhinoUiImage image = decode(first + i);
        if (image.IsEmpty())
            continue;
        if (image.width == size)
            return image;
        const bool better = best.IsEmpty() || (image.width > size && (best.width < size || image.width < best.width)) ||
                            (best.width < size && image.width > best.width);
        if (better)
            best = std::move(image);
    }
    return best.IsEmpty() ? best : StretchHalftone(best, size, size);
}

CRhinoUiImage StretchHalftone(const CRhinoUiImage& image, int width, int height) {
    CRhinoUiImage out;
    if (image.IsEmpty() || width < 1 || height < 1)
        return out;
    out.width = width;
    out.height = height;
    out.rgba.resize(size_t(width) * size_t(height) * 4);
    const double sx = double(image.width) / width, sy = double(image.height) / height;
    for (int y = 0; y < height; ++y) {
        const double y0 = y * sy, y1 = (y + 1) * sy;
        for (int x = 0; x < width; ++x) {
            const double x0 = x * sx, x1 = (x + 1) * sx;
            double sum[4] = {0, 0, 0, 0}, area = 0;
            for (int v = int(y0); v < std::min(image.height, int(std::ceil(y1))); ++v) {
                const double wy = std::min(y1, v + 1.0) - std::max(y0, double(v));
                for (int u = int(x0); u < std::min(image.width, int(std::ceil(x1))); ++u) {
                    const double w = wy * (std::min(x1, u + 1.0) - std::max(x0, double(u)));
                    const uint8_t* p = image.Pixel(u, v);
                    for (int c = 0; c < 4; ++c)
                        sum[c] += w * p[c];
                    area += w;
                }
            }
            uint8_t* q = &out.rgba[(size_t(y) * size_t(width) + size_t(x)) * 4];
            for (int c = 0; c < 4; ++c)
                q[c] = uint8_t(std::lround(area > 0 ? sum[c] / area : 0));
        }
    }
    return out;
}

int MulDiv(int value, int numerator, int denominator) {
    if (denominator == 0)
        return -1;
    return int(std::llround(double(value) * numerator / denominator));
}

}  // namespace vantro::ui
