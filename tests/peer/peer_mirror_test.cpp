// The mirror re-reads exactly what the creator marked or counted as changed, follows
// replaced and removed buffers and records, and reports what it could not read.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "link/live_connection.h"
#include "link/srfc_layout.h"
#include "peer_mirror.h"
#include "support/test_environment.h"

namespace {

using namespace vantro::peer;
using namespace VantroAPI;

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
