#include "materials/bmp_image.h"

#include <gtest/gtest.h>

#include <functional>

#include "image_decode.h"

using namespace vantro::materials;

namespace {

uint32_t u32At(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

// A 3 x 2 bitmap of 24-bit BGR rows padded to 12 bytes.
struct Rows {
    std::vector<std::vector<uint8_t>> rows;
    BmpSource source(int32_t height) const {
        BmpSource s;
        s.width = 3;
        s.height = height;
        s.bitsPerPixel = 24;
        s.scanSize = 12;
        s.imageSize = 24;
        s.row = [this](uint32_t i) { return i < rows.size() ? rows[i].data() : nullptr; };
        return s;
    }
};

Rows sampleRows() {
    // Row 0: red, green, blue; row 1: white, black, grey (BGR order, 3 pad bytes).
    return Rows{{{0, 0, 255, 0, 255, 0, 255, 0, 0, 9, 9, 9}, {255, 255, 255, 0, 0, 0, 128, 128, 128, 9, 9, 9}}};
}

}  // namespace

// A decoder reads the pixels back; a positive height means the first row is the bottom.
// The sizes a decoder may skip are right too.
TEST(BmpImage, DecodesToTheBitmapPixels) {
    Rows rows = sampleRows();
    const std::vector<uint8_t> topDown = BuildBmpImage(rows.source(-2));
    ASSERT_EQ(topDown.size(), 24u + 54u);
    EXPECT_EQ(u32At(topDown, 2), 78u);   // file size
    EXPECT_EQ(u32At(topDown, 34), 24u);  // image size
    DecodedImage top = DecodeImage(topDown.data(), topDown.size());
    ASSERT_EQ(top.width, 3);
    ASSERT_EQ(top.height, 2);
    const std::vector<uint8_t> expectTop = {255, 0,   0,   255, 0, 255, 0, 255, 0,   0,   255, 255,
                                            255, 255, 255, 255, 0, 0,   0, 255, 128, 128, 128, 255};
    EXPECT_EQ(top.rgba, expectTop);

    auto bytes = BuildBmpImage(rows.source(2));
    DecodedImage bottomUp = DecodeImage(bytes.data(), bytes.size());
    ASSERT_EQ(bottomUp.rgba.size(), 24u);
    EXPECT_EQ(std::vector<uint8_t>(bottomUp.rgba.begin(), bottomUp.rgba.begin() + 12),
              std::vector<uint8_t>(expectTop.begin() + 12, expectTop.end()));
}

// Indexed rows decode, with a real decoder, as grey levels from black at index 0 to
// white at the highest index, for every depth a document's bitmap can have.
TEST(BmpImage, IndexedRowsDecodeAsGreyLevels) {
    struct Case {
        uint16_t bits;
        std::vector<uint8_t> row;           // one 4-pixel row, padded to 4 bytes
        std::vector<uint8_t> expectedGrey;  // the 4 pixels
    };
    const Case cases[] = {
        {1, {0b1010'0000, 0, 0, 0}, {255, 0, 255, 0}},
        {4, {0x0F, 0x37, 0, 0}, {0, 255, 51, 119}},
        {8, {0, 255, 128, 7}, {0, 255, 128, 7}},
    };
    for (const Case& c : cases) {
        BmpSource s;
        s.width = 4;
        s.height = 1;
        s.bitsPerPixel = c.bits;
        s.scanSize = 4;
        s.imageSize = 4;
        s.row = [&c](uint32_t) { return c.row.data(); };
        std::vector<uint8_t> bytes = BuildBmpImage(s);
        ASSERT_EQ(bytes.size(), 54u + (4u << c.bits) + 4u) << c.bits;
        EXPECT_EQ(u32At(bytes, 10), 54u + (4u << c.bits)) << c.bits;
        DecodedImage image = DecodeImage(bytes.data(), bytes.size());
        ASSERT_EQ(image.width, 4) << c.bits << " bits per pixel refused by the decoder";
        for (size_t x = 0; x < 4; ++x)
            for (size_t channel = 0; channel < 3; ++channel)
                EXPECT_EQ(image.rgba[4 * x + channel], c.expectedGrey[x]) << c.bits << " bits, pixel " << x;
    }
}

// Numbers that do not describe an image in its own size give no image at all.
TEST(BmpImage, RefusesInconsistentNumbers) {
    Rows rows = sampleRows();
    BmpSource s = rows.source(2);
    const std::vector<std::function<void(BmpSource&)>> faults = {
        [](BmpSource& b) { b.imageSize = 23; },           // rows do not fit
        [](BmpSource& b) { b.height = 0; },               // no pixels
        [](BmpSource& b) { b.imageSize = 0xFFFFFFF0u; },  // + 54 overflows 32 bits
        [](BmpSource& b) { b.bitsPerPixel = 12; },        // no such BMP depth
        [](BmpSource& b) { b.width = 5; }};               // 15 bytes of pixels in a 12-byte row
    for (std::size_t i = 0; i < faults.size(); ++i) {
        s = rows.source(2);
        faults[i](s);
        EXPECT_TRUE(BuildBmpImage(s).empty()) << i;
    }
    s = rows.source(3);  // a third row the bitmap does not have stays zero
    s.imageSize = 36;
    auto image = BuildBmpImage(s);
    ASSERT_EQ(image.size(), 90u);
    for (size_t i = 78; i < 90; ++i)
        EXPECT_EQ(image[i], 0);
}
