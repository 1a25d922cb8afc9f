#include "toolbar_picture.h"

#include <cerrno>
#include <cstring>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb/stb_image_write.h>

namespace vantro::host {

namespace {

constexpr uint8_t kBackground[3] = {240, 240, 240};  // the system's face colour

void blendPixel(CRhinoUiImage& target, int x, int y, const uint8_t* rgba) {
    if (x < 0 || y < 0 || x >= target.width || y >= target.height)
        return;
    uint8_t* p = &target.rgba[(size_t(y) * size_t(target.width) + size_t(x)) * 4];
    const int a = rgba[3];
    for (int c = 0; c < 3; ++c)
        p[c] = uint8_t((rgba[c] * a + p[c] * (255 - a) + 127) / 255);
}

// Draws the image at rect's top-left corner; an image narrower or shorter than the
// rectangle (a separator line) is repeated to fill it.
void drawImage(CRhinoUiImage& target, const CRhinoUiImage& image, const CRhinoUiRect& rect) {
    for (int y = 0; y < rect.Height(); ++y)
        for (int x = 0; x < rect.Width(); ++x)
            if (const uint8_t* pixel = image.Pixel(x % image.width, y % image.height))
                blendPixel(target, rect.left + x, rect.top + y, pixel);
}

const CRhinoUiImage* controlImage(const CRhinoUiButton& control) {
    const int first = control.IsWindowEnabled() ? 0 : 1;
    for (int kind : {first, 1 - first})
        if (const CRhinoUiImageList* list = control.ImageList(kind))
            if (const CRhinoUiImage* image = list->Image(control.ImageIndex(kind)))
                return image;
    return nullptr;
}

}  // namespace

CRhinoUiImage renderToolbar(const CRhinoUiDockBar& bar) {
    CRhinoUiImage picture;
    const CRhinoUiSize size = bar.Size();
    if (size.cx <= 0 || size.cy <= 0)
        return picture;
    picture.width = size.cx;
    picture.height = size.cy;
    picture.rgba.resize(size_t(size.cx) * size_t(size.cy) * 4);
    for (size_t i = 0; i < picture.rgba.size(); i += 4) {
        std::memcpy(&picture.rgba[i], kBackground, 3);
        picture.rgba[i + 3] = 255;
    }
    const CRhinoUiDockBarDialog* dialog = bar.DockBarClientWnd();
    if (!dialog)
        return picture;
    for (const CRhinoUiButton* control : dialog->Controls()) {
        if (!control->IsWindowVisible())
            continue;
        if (const CRhinoUiImage* image = controlImage(*control))
            drawImage(picture, *image, control->WindowRect());
    }
    return picture;
}

bool writePng(const std::string& path, const CRhinoUiImage& image, std::string& error) {
    if (image.IsEmpty()) {
        error = "the picture is empty";
        return false;
    }
    errno = 0;
    if (!stbi_write_png(path.c_str(), image.width, image.height, 4, image.rgba.data(), image.width * 4)) {
        error = errno ? std::strerror(errno) : "the file cannot be written";
        return false;
    }
    return true;
}

}  // namespace vantro::host
