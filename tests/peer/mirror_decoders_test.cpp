// The peer's decoders take whatever the other process wrote: they read what fits in
// the bytes they are given and refuse the rest.

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "link/srfc_layout.h"
#include "mirror_decoders.h"

namespace {

using namespace vantro::peer;
using namespace VantroAPI;

std::vector<std::byte> words(std::initializer_list<uint32_t> values) {
    std::vector<std::byte> bytes(values.size() * 4);
    std::memcpy(bytes.data(), std::data(values), bytes.size());
    return bytes;
}

// The two-sided open triangle as the scene writer sends it: V 6, I 6, one set, then
// positions, normals, texture coordinates and indices.
std::vector<std::byte> twoSidedTriangle() {
    std::vector<float> arrays;
    for (int copy = 0; copy < 2; ++copy)
        arrays.insert(arrays.end(), {0, 0, 0, 1, 0, 0, 0, 0, 1});
    for (float y : {1, 1, 1, -1, -1, -1})
        arrays.insert(arrays.end(), {0, y, 0});
    for (int copy = 0; copy < 2; ++copy)
        arrays.insert(arrays.end(), {0, 1, 1, 1, 0, 0});
    std::vector<std::byte> bytes = words({6, 6, 1});
    bytes.resize(12 + arrays.size() * 4);
    std::memcpy(bytes.data() + 12, arrays.data(), arrays.size() * 4);
    const std::vector<std::byte> indices = words({2, 1, 0, 3, 4, 5});
    bytes.insert(bytes.end(), indices.begin(), indices.end());
    return bytes;
}

// A BMP file image of width x height, 24 bits, rows of pixel bytes.
std::vector<uint8_t> bmpOf(int32_t width, int32_t height, uint8_t fill) {
    const size_t row = (size_t(std::abs(width)) * 3 + 3) / 4 * 4, size = 54 + row * size_t(std::abs(height));
    std::vector<uint8_t> bmp(size, fill);
    std::memset(bmp.data(), 0, 54);
    auto u32 = [&](size_t at, uint32_t value) { std::memcpy(&bmp[at], &value, 4); };
    bmp[0] = 'B', bmp[1] = 'M', bmp[26] = 1, bmp[28] = 24;
    u32(2, uint32_t(size)), u32(10, 54), u32(14, 40), u32(18, uint32_t(width)), u32(22, uint32_t(height));
    u32(34, uint32_t(size - 54));
    return bmp;
}

// A buffer as sent is read whole: arrays in order, indices as stored; spare capacity
// after the used part is ignored; every shorter prefix is refused and leaves the mesh
// empty.
TEST(DecodeGeometry, ReadsTheBufferAsSentAndRefusesEveryPrefix) {
    const std::vector<std::byte> buffer = twoSidedTriangle();
    MeshData mesh;
    ASSERT_FALSE(decodeGeometry(buffer, mesh)) << decodeGeometry(buffer, mesh).text;
    EXPECT_EQ(mesh.vertexCount(), 6u);
    EXPECT_EQ(mesh.triangleCount(), 2u);
    EXPECT_EQ(mesh.indices, (std::vector<uint32_t>{2, 1, 0, 3, 4, 5}));
    EXPECT_EQ(mesh.positions[3], 1.0f);
    EXPECT_EQ(mesh.normals[10], -1.0f);
    EXPECT_EQ(mesh.texCoords[1], 1.0f);
    std::vector<std::byte> roomy = buffer;
    roomy.resize(buffer.size() * 2, std::byte{0xEE});
    EXPECT_FALSE(decodeGeometry(roomy, mesh));
    EXPECT_EQ(mesh.triangleCount(), 2u);
    for (size_t size = 0; size < buffer.size(); ++size) {
        mesh.indices = {1, 2, 3};
        EXPECT_TRUE(decodeGeometry(std::span(buffer.data(), size), mesh)) << size;
        EXPECT_EQ(mesh.triangleCount(), 0u) << size;
    }
}

// Counts that would overflow a 32-bit or 64-bit size, no set, a broken triangle
// count and an index past the vertices are refused.
TEST(DecodeGeometry, HostileCountsAreRefused) {
    MeshData mesh;
    const uint32_t huge = std::numeric_limits<uint32_t>::max();
    for (const auto& hostile :
         {words({huge, 3, 1, 0, 0, 0}), words({1, huge, 1, 0, 0, 0}), words({1, 0, huge, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
          words({1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), words({0, 2, 1, 0, 0})})
        EXPECT_TRUE(decodeGeometry(hostile, mesh));
    std::vector<std::byte> bad = twoSidedTriangle();
    const uint32_t outside = 6;
    std::memcpy(bad.data() + bad.size() - 4, &outside, 4);
    const GeometryError error = decodeGeometry(bad, mesh);
    EXPECT_NE(error.text.find("index"), std::string::npos) << error.text;
    EXPECT_EQ(mesh.triangleCount(), 0u);
    // An empty material is a valid buffer with nothing in it.
    EXPECT_FALSE(decodeGeometry(words({0, 0, 1}), mesh));
}

// The material half is read at its offsets; short or foreign records are refused and
// non-finite numbers do not reach the renderer.
TEST(DecodeMaterial, FieldsAndRefusals) {
    std::vector<std::byte> record(kBlockSize);
    store(record.data(), record::kTag, kTagSrfc);
    srfc::storeFixedText(record.data(), srfc::kName, std::u16string(300, u'x'));
    store(record.data(), srfc::kDiffuse, 0xFF102030u);
    store(record.data(), srfc::kOpacity, std::numeric_limits<float>::quiet_NaN());
    store(record.data(), srfc::kTextureBuffer, 0x80000002u);
    store(record.data(), srfc_record::kGeometryChangeCount, 9u);
    const std::optional<MaterialFields> fields = decodeMaterial(record);
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->name.size(), 260u);  // a full field without terminator stops at its end
    EXPECT_EQ(fields->diffuse, 0xFF102030u);
    EXPECT_EQ(fields->opacity, 1.0f);
    EXPECT_TRUE(fields->hasTexture());
    EXPECT_EQ(fields->geometryChangeCount, 9u);
    EXPECT_FALSE(decodeMaterial(std::span(record.data(), kSrfcRecordSize - 1)));
    store(record.data(), record::kTag, kTagView);
    EXPECT_FALSE(decodeMaterial(record));
    EXPECT_TRUE(decodeCamera(record));
    EXPECT_FALSE(decodeCamera(std::span(record.data(), kViewRecordSize - 1)));
}

// Text ends at its terminator or at the end of the bytes, an odd last byte ignored.
TEST(DecodeText, BoundedByTheSpan) {
    const char16_t text[] = u"ab\0cd";
    EXPECT_EQ(decodeText(std::as_bytes(std::span(text))), u"ab");
    EXPECT_EQ(decodeText(std::as_bytes(std::span(text, 2)).first(3)), u"a");
    EXPECT_EQ(decodeText({}), u"");
}

// A BMP as the plug-in builds it (top-down rows, negative height) decodes top row
// first; garbage, truncated images and oversized headers give no image.
TEST(DecodeImage, BmpAndGarbage) {
    std::vector<uint8_t> bmp = bmpOf(2, -2, 0);
    bmp[54 + 2] = 255;      // top-left red (BGR)
    bmp[54 + 8 + 3] = 255;  // bottom-right blue
    const Image image = decodeImage(std::as_bytes(std::span(bmp)));
    ASSERT_EQ(image.width, 2);
    ASSERT_EQ(image.height, 2);
    EXPECT_EQ(image.rgba[0], 255);
    EXPECT_EQ(image.rgba[2], 0);
    EXPECT_EQ(image.rgba[12 + 2], 255);

    std::vector<uint8_t> truncated(bmp.begin(), bmp.begin() + 30);  // inside the headers
    EXPECT_TRUE(decodeImage(std::as_bytes(std::span(truncated))).empty());
    const uint32_t wide = 100000;  // wider than the peer accepts
    std::memcpy(&bmp[18], &wide, 4);
    EXPECT_TRUE(decodeImage(std::as_bytes(std::span(bmp))).empty());
    const std::vector<uint8_t> garbage(500, 0x42);
    EXPECT_TRUE(decodeImage(std::as_bytes(std::span(garbage))).empty());
    EXPECT_TRUE(loadImageFile("/nonexistent/texture.png").empty());
}

// Random headers over random bodies, and a valid image with random bytes flipped:
// whatever is accepted is consistent and inside its arrays (ASan builds check the
// reads).
TEST(Decoders, RandomBytesAreRefusedOrConsistent) {
    std::mt19937 random(13);
    size_t accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<std::byte> buffer(4 * (3 + random() % 64));
        for (std::byte& b : buffer)
            b = std::byte(random());
        const uint32_t header[3] = {uint32_t(random() % 8), uint32_t(3 * (random() % 8)), uint32_t(random() % 3)};
        std::memcpy(buffer.data(), header, sizeof header);
        MeshData mesh;
        if (decodeGeometry(buffer, mesh))
            continue;
        ++accepted;
        EXPECT_EQ(mesh.normals.size(), mesh.positions.size());
        EXPECT_EQ(mesh.texCoords.size() * 3, mesh.positions.size() * 2);
        for (uint32_t index : mesh.indices)
            EXPECT_LT(index, mesh.vertexCount());
    }
    EXPECT_GT(accepted, 0u);

    const std::vector<uint8_t> bmp = bmpOf(4, 4, 0x80);
    for (int round = 0; round < 2000; ++round) {
        std::vector<uint8_t> mutated = bmp;
        for (int flips = 0; flips < 4; ++flips)
            mutated[random() % 54] = uint8_t(random());
        const Image image = decodeImage(std::as_bytes(std::span(mutated)));
        if (!image.empty()) {
            EXPECT_EQ(image.rgba.size(), size_t(image.width) * size_t(image.height) * 4);
        }
    }
}

}  // namespace
