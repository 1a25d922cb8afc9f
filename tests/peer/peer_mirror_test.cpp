// The peer's reading of the channel in-process: its decoders take whatever the other
// process wrote (they read what fits in the bytes they are given and refuse the
// rest), vertices without a normal get one from their faces, and the mirror re-reads
// exactly what the creator marked or counted as changed, follows replaced and removed
// buffers and records, and reports what it could not read.

#include <gtest/gtest.h>

#include <cstring>
#include <sys/stat.h>
#include <limits>
#include <vector>

#include "link/live_connection.h"
#include "link/srfc_layout.h"
#include "mesh_normals.h"
#include "mirror_decoders.h"
#include "peer_mirror.h"
#include "support/test_environment.h"

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
// after the used part is ignored. Every shorter prefix, counts that would overflow a
// 32-bit or 64-bit size, no set, a broken triangle count and an index past the
// vertices are refused and leave the mesh empty.
TEST(DecodeGeometry, ReadsTheBufferAsSentAndRefusesTheRest) {
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
    const uint32_t huge = std::numeric_limits<uint32_t>::max();
    for (const auto& hostile :
         {words({huge, 3, 1, 0, 0, 0}), words({1, huge, 1, 0, 0, 0}), words({1, 0, huge, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
          words({1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), words({0, 2, 1, 0, 0})})
        EXPECT_TRUE(decodeGeometry(hostile, mesh));
    std::vector<std::byte> bad = buffer;
    bad[bad.size() - 4] = std::byte{6};  // the last index, one past the vertices
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
    // A path the other process names may be a pipe nobody writes to: opening it to read
    // would wait for ever.
    vantro::test::TestEnvironment env;
    const std::string pipe = env.root() + "/texture.png";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_TRUE(loadImageFile(pipe).empty());
}

// The modeller's upward triangle (0,0,0) (1,0,0) (0,1,0) as sent: axes y and z
// exchanged and the index list reversed; its face points up, +y in the renderer's
// axes. Vertex 1 came with a normal of its own, vertex 2 with a broken one. Vertex 3
// is unused and vertex 4 only in a degenerate triangle: they stay without a normal
// rather than getting a made-up direction.
TEST(FillMissingNormals, FromTheSendersWinding) {
    MeshData mesh;
    mesh.positions = {0, 0, 0, 1, 0, 0, 0, 0, 1, 5, 5, 5, 2, 0, 0};
    mesh.normals = {0, 0, 0, 1, 0, 0, std::numeric_limits<float>::quiet_NaN(), 0, 0, 0, 0, 0, 0, 0, 0};
    mesh.texCoords.assign(10, 0);
    mesh.indices = {2, 1, 0, 0, 1, 4};
    EXPECT_EQ(fillMissingNormals(mesh), 4u);
    EXPECT_EQ(mesh.normals, (std::vector<float>{0, 1, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(fillMissingNormals(mesh), 2u);
}

// A creator and the peer's connection to it, in one process.
class MirrorTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::u16string name = vantro::test::uniqueName("mirror");
        ASSERT_EQ(creator_.Create(name, 16), 0);
        ASSERT_EQ(peer_.Open(name), 0);
    }

    RecordPrefix* material(uint32_t diffuse) {
        RecordPrefix* record = creator_.AddRecord(kTagSrfc);
        store(record, srfc::kDiffuse, diffuse);
        store(record, srfc::kOpacity, 1.0f);
        creator_.SetRecordFlags(record, kRecordChanged | srfc::kMaterialChanged);
        return record;
    }

    // A triangle list of `triangles` triangles into a buffer of `capacity` bytes (a
    // new buffer when capacity is not 0).
    void geometry(RecordPrefix* record, uint32_t triangles, uint32_t capacity = 0) {
        const uint32_t v = 3 * triangles;
        std::vector<uint32_t> words(3 + 8 * size_t(v) + v, 0);
        words[0] = v, words[1] = v, words[2] = 1;
        for (uint32_t i = 0; i < v; ++i)
            words[3 + 8 * v + i] = v - 1 - i;
        if (capacity) {
            creator_.DestroyBuffer(load(record, srfc_record::kGeometryBuffer));
            store(record, srfc_record::kGeometryBuffer, creator_.CreateBuffer(load(record, record::kId), capacity));
            store(record, srfc_record::kGeometryCapacity, capacity);
        }
        void* bytes = creator_.MapBuffer(load(record, srfc_record::kGeometryBuffer));
        ASSERT_NE(bytes, nullptr);
        std::memcpy(bytes, words.data(), words.size() * 4);
        store(record, srfc_record::kGeometryChangeCount, load(record, srfc_record::kGeometryChangeCount) + 1);
        creator_.SetRecordFlags(record, kRecordChanged);
    }

    // One peer sync: read, then clear the changed bits as the peer does.
    MirrorUpdate sync() {
        MirrorUpdate update = mirror_.update(peer_);
        std::vector<RecordPrefix*> records;
        for (RecordPrefix* record : peer_.AllRecords(records))
            peer_.ClearRecordFlags(record, ~0u);
        mirror_.loadTextures(update);
        return update;
    }

    vantro::test::TestEnvironment environment_;
    LiveConnection creator_, peer_;
    PeerMirror mirror_;
};

// First sight reads everything; an untouched channel reads nothing; a geometry-only
// change re-reads the geometry and nothing else; a revision re-reads the material.
TEST_F(MirrorTest, ReadsOnlyWhatChanged) {
    RecordPrefix* red = material(0xFFFF0000);
    geometry(red, 2, 4096);
    RecordPrefix* empty = material(0xFF00FF00);
    MirrorUpdate update = sync();
    EXPECT_EQ(update.materials, 2u);
    EXPECT_EQ(update.geometries, 2u);
    EXPECT_TRUE(update.camera);  // the creator's VIEW record, all zero
    EXPECT_EQ(mirror_.triangleCount(), 2u);
    EXPECT_EQ(mirror_.materials().at(load(red, record::kId)).fields.diffuse, 0xFFFF0000u);
    EXPECT_EQ(mirror_.materials().at(load(empty, record::kId)).mesh.triangleCount(), 0u);

    update = sync();
    EXPECT_EQ(update.materials + update.textures + update.geometries, 0u);
    EXPECT_FALSE(update.camera);

    geometry(red, 5);
    update = sync();
    EXPECT_EQ(std::pair(update.geometries, update.materials), std::pair(1u, 0u));
    EXPECT_EQ(mirror_.triangleCount(), 5u);

    // A change count that moved is enough, without the changed bit (a peer that
    // cleared the bit early still follows).
    store(red, srfc::kDiffuse, 0xFF0000FFu);
    store(red, srfc::kRevision, 2u);
    store(red, record::kChangeCount, load(red, record::kChangeCount) + 1);
    update = sync();
    EXPECT_EQ(std::pair(update.geometries, update.materials), std::pair(0u, 1u));
    EXPECT_EQ(mirror_.materials().at(load(red, record::kId)).fields.diffuse, 0xFF0000FFu);
}

// A geometry buffer replaced by a bigger one is read from the new id and the old one
// is unmapped; a removed record leaves the mirror with its buffers.
TEST_F(MirrorTest, FollowsReplacedBuffersAndRemovedRecords) {
    RecordPrefix* red = material(0xFFFF0000);
    geometry(red, 1, 512);
    sync();
    const uint32_t first = load(red, srfc_record::kGeometryBuffer);
    EXPECT_GT(peer_.MappedBufferSize(first), 0u);
    geometry(red, 40, 8192);
    const uint32_t second = load(red, srfc_record::kGeometryBuffer);
    EXPECT_EQ(sync().geometries, 1u);
    EXPECT_EQ(mirror_.triangleCount(), 40u);
    EXPECT_EQ(peer_.MappedBufferSize(first), 0u);
    EXPECT_GT(peer_.MappedBufferSize(second), 0u);

    ASSERT_EQ(creator_.RemoveRecord(load(red, record::kId)), 0);
    const MirrorUpdate update = sync();
    EXPECT_EQ(update.removed, 1u);
    EXPECT_TRUE(mirror_.materials().empty());
    EXPECT_EQ(peer_.MappedBufferSize(second), 0u);
}

// A geometry buffer whose counts lie, a texture buffer that does not exist and a
// texture file that is no image are reported and leave the material without them.
TEST_F(MirrorTest, ReportsWhatItCannotRead) {
    RecordPrefix* red = material(0xFFFF0000);
    geometry(red, 1, 256);
    auto* words = static_cast<uint32_t*>(creator_.MapBuffer(load(red, srfc_record::kGeometryBuffer)));
    words[0] = 1'000'000;  // more vertices than the buffer holds
    store(red, srfc::kTextureBuffer, 0x7777u);
    RecordPrefix* floor = material(0xFF808080);
    srfc::storeFixedText(floor, srfc::kTexturePath, u"\\nonexistent\\floor.png");
    const MirrorUpdate update = sync();
    ASSERT_EQ(update.problems.size(), 3u);
    EXPECT_NE(update.problems[0].find("texture buffer"), std::string::npos) << update.problems[0];
    EXPECT_NE(update.problems[1].find("geometry buffer refused"), std::string::npos) << update.problems[1];
    EXPECT_NE(update.problems[2].find("floor.png"), std::string::npos) << update.problems[2];
    EXPECT_EQ(mirror_.materials().size(), 2u);
    EXPECT_EQ(mirror_.triangleCount(), 0u);
    EXPECT_EQ(mirror_.texturedCount(), 0u);
}

}  // namespace
