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

uint32_t bits(float value) {
    uint32_t out;
    std::memcpy(&out, &value, 4);
    return out;
}

// The two-sided open triangle as the scene writer sends it: V 6, I 6, one set.
std::vector<std::byte> twoSidedTriangle() {
    std::initializer_list<uint32_t> w = {
        6, 6, 1,
        // positions
        bits(0), bits(0), bits(0), bits(1), bits(0), bits(0), bits(0), bits(0), bits(1), bits(0), bits(0), bits(0),
        bits(1), bits(0), bits(0), bits(0), bits(0), bits(1),
        // normals
        bits(0), bits(1), bits(0), bits(0), bits(1), bits(0), bits(0), bits(1), bits(0), bits(0), bits(-1), bits(0),
        bits(0), bits(-1), bits(0), bits(0), bits(-1), bits(0),
        // texture coordinates
        bits(0), bits(1), bits(1), bits(1), bits(0), bits(0), bits(0), bits(1), bits(1), bits(1), bits(0), bits(0),
        // indices
        2, 1, 0, 3, 4, 5};
    return words(w);
}

// A buffer as sent is read whole: arrays in order, indices as stored.
TEST(DecodeGeometry, ReadsTheBufferAsSent) {
    const std::vector<std::byte> buffer = twoSidedTriangle();
    MeshData mesh;
    ASSERT_FALSE(decodeGeometry(buffer, mesh)) << decodeGeometry(buffer, mesh).text;
    EXPECT_EQ(mesh.vertexCount(), 6u);
    EXPECT_EQ(mesh.triangleCount(), 2u);
    EXPECT_EQ(mesh.indices, (std::vector<uint32_t>{2, 1, 0, 3, 4, 5}));
    EXPECT_EQ(mesh.positions[3], 1.0f);
    EXPECT_EQ(mesh.normals[10], -1.0f);
    EXPECT_EQ(mesh.texCoords[1], 1.0f);
    // Spare capacity after the used part is ignored.
    std::vector<std::byte> roomy = buffer;
    roomy.resize(buffer.size() * 2, std::byte{0xEE});
    EXPECT_FALSE(decodeGeometry(roomy, mesh));
    EXPECT_EQ(mesh.triangleCount(), 2u);
}

// Every prefix shorter than the used size is refused and leaves the mesh empty.
TEST(DecodeGeometry, EveryTruncatedPrefixIsRefused) {
    const std::vector<std::byte> buffer = twoSidedTriangle();
    for (size_t size = 0; size < buffer.size(); ++size) {
        MeshData mesh;
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
    EXPECT_TRUE(decodeGeometry(words({huge, 3, 1, 0, 0, 0}), mesh));
    EXPECT_TRUE(decodeGeometry(words({1, huge, 1, 0, 0, 0}), mesh));
    EXPECT_TRUE(decodeGeometry(words({1, 0, huge, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), mesh));
    EXPECT_TRUE(decodeGeometry(words({1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), mesh));
    EXPECT_TRUE(decodeGeometry(words({0, 2, 1, 0, 0}), mesh));
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
    std::vector<uint8_t> bmp(54 + 2 * 8, 0);
    auto u32 = [&](size_t at, uint32_t value) { std::memcpy(&bmp[at], &value, 4); };
    bmp[0] = 'B', bmp[1] = 'M';
    u32(2, uint32_t(bmp.size())), u32(10, 54), u32(14, 40), u32(18, 2), u32(22, uint32_t(-2)), u32(34, 16);
    bmp[26] = 1, bmp[28] = 24;
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
    u32(18, 100000);  // wider than the peer accepts
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

    std::vector<uint8_t> bmp(54 + 4 * 4 * 3, 0x80);
    auto u32 = [&](size_t at, uint32_t value) { std::memcpy(&bmp[at], &value, 4); };
    std::memset(bmp.data(), 0, 54);
    bmp[0] = 'B', bmp[1] = 'M';
    u32(2, uint32_t(bmp.size())), u32(10, 54), u32(14, 40), u32(18, 4), u32(22, 4), u32(34, 48);
    bmp[26] = 1, bmp[28] = 24;
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
