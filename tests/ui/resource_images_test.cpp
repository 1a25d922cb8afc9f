// The module's pictures; how a strip is cut into the toolbar's images is in the
// toolbar's reference picture (ui_host_test).

#include <gtest/gtest.h>

#include "sdk/app/rhino_ui_dock_bar.h"
#include "ui/resource_images.h"

namespace {

using namespace vantro::ui;

// Each picture the menu, the dock bar, the About dialog and the icon need decodes at
// the size the interface draws it.
TEST(ResourceImages, EveryPictureIsThereAtItsSize) {
    const struct {
        ImageKind kind;
        uint32_t first, last;
        int width, height;
    } pictures[] = {{ImageKind::bitmap, 1003, 1012, 22, 22},
                    {ImageKind::png, 1012, 1013, 280, 28},
                    {ImageKind::bitmap, 1014, 1014, 1, 28},
                    {ImageKind::bitmap, 107, 107, 440, 560}};
    for (const auto& p : pictures)
        for (uint32_t id = p.first; id <= p.last; ++id) {
            const CRhinoUiImage image = LoadImageResource(p.kind, id);
            EXPECT_EQ(image.width, p.width) << id;
            EXPECT_EQ(image.height, p.height) << id;
        }
}

// Shrinking by four averages each 4 x 4 block; a stretch to a size that does not
// divide weighs the pixels it covers by area.
TEST(ResourceImages, HalftoneAveragesCoveredPixels) {
    const CRhinoUiImage about = LoadImageResource(ImageKind::bitmap, 107);
    const CRhinoUiImage small = StretchHalftone(about, 110, 140);
    ASSERT_EQ(small.width, 110);
    for (auto [x, y] : {std::pair{0, 0}, std::pair{55, 70}, std::pair{109, 139}}) {
        int sum = 0;
        for (int v = 0; v < 4; ++v)
            for (int u = 0; u < 4; ++u)
                sum += about.Pixel(4 * x + u, 4 * y + v)[1];
        EXPECT_NEAR(small.Pixel(x, y)[1], sum / 16.0, 0.5) << x << "," << y;
    }
    CRhinoUiImage two;
    two.width = 2;
    two.height = 1;
    two.rgba = {0, 0, 0, 255, 90, 90, 90, 255};
    const CRhinoUiImage three = StretchHalftone(two, 3, 1);
    EXPECT_EQ(three.Pixel(0, 0)[0], 0);
    EXPECT_EQ(three.Pixel(1, 0)[0], 45);
    EXPECT_EQ(three.Pixel(2, 0)[0], 90);
}

}  // namespace
