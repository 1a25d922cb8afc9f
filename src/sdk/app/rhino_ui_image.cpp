#include "sdk/app/rhino_ui_image.h"

#include <algorithm>
#include <cstring>

CRhinoUiImage CRhinoUiImage::Crop(int x, int y, int w, int h) const {
    CRhinoUiImage part;
    if (IsEmpty())
        return part;
    const int x0 = std::clamp(x, 0, width), y0 = std::clamp(y, 0, height);
    const int x1 = std::clamp(x + std::max(w, 0), 0, width), y1 = std::clamp(y + std::max(h, 0), 0, height);
    if (x1 <= x0 || y1 <= y0)
        return part;
    part.width = x1 - x0;
    part.height = y1 - y0;
    part.rgba.resize(size_t(part.width) * size_t(part.height) * 4);
    for (int row = 0; row < part.height; ++row)
        std::memcpy(&part.rgba[size_t(row) * size_t(part.width) * 4], Pixel(x0, y0 + row), size_t(part.width) * 4);
    return part;
}
