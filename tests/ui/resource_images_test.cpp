// The module's pictures: every resource the interface names is there at its size, an
// image list cuts a strip into the right images, and the halftone stretch averages.

#include <gtest/gtest.h>

#include "sdk/app/rhino_ui_dock_bar.h"
#include "ui/resource_images.h"

namespace {

using namespace vantro::ui;

// Each picture the menu, the dock bar, the About dialog and the icon need decodes at
// the size the interface draws it.
TEST(ResourceImages, EveryPictureIsThereAtItsSize) {
    for (uint32_t id = 1003; id <= 1012; ++id) {
        const CRhinoUiImage bitmap = LoadImageResource(ImageKind::bitmap, id);
        EXPECT_EQ(bitmap.width, 22) << id;
        EXPECT_EQ(bitmap.height, 22) << id;
    }
    for (uint32_t id : {1012u, 1013u}) {
        const CRhinoUiImage strip = LoadImageResource(ImageKind::png, id);
        EXPECT_EQ(strip.width, 280) << id;
        EXPECT_EQ(strip.height, 28) << id;
    }
    EXPECT_EQ(LoadImageResource(ImageKind::bitmap, 1014).height, 28);
    EXPECT_EQ(LoadImageResource(ImageKind::bitmap, 107).width, 440);
    EXPECT_EQ(LoadImageResource(ImageKind::bitmap, 107).height, 560);
    size_t sizes = 0;
    FindImageResources(ImageKind::icon, 110, sizes);
    EXPECT_EQ(sizes, 5u);
    EXPECT_EQ(LoadIconResource(110, 16).width, 16);
    EXPECT_EQ(LoadIconResource(110, 20).width, 20) << "a missing size is stretched from a larger one";
    EXPECT_TRUE(LoadImageResource(ImageKind::png, 4242).IsEmpty());
}

// Image i of a list is the strip's i-th 28-pixel square; a strip of another height
// adds nothing.
TEST(ResourceImages, ImageListCutsTheStrip) {
    const CRhinoUiImage strip = LoadImageResource(ImageKind::png, 1012);
    CRhinoUiImageList list;
    ASSERT_TRUE(list.Create(28, 28));
    EXPECT_EQ(list.Add(strip), 0);
    ASSERT_EQ(list.ImageCount(), 10);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(list.Image(i)->rgba, strip.Crop(28 * i, 0, 28, 28).rgba) << i;
    EXPECT_NE(list.Image(0)->rgba, list.Image(1)->rgba);
    EXPECT_EQ(list.Add(strip.Crop(0, 0, 56, 20)), -1);
    EXPECT_EQ(list.Image(10), nullptr);
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
    EXPECT_TRUE(StretchHalftone(two, 0, 1).IsEmpty());
    EXPECT_EQ(MulDiv(110, 144, 96), 165);
    EXPECT_EQ(MulDiv(1, 1, 0), -1);
}

}  // namespace
