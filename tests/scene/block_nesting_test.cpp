// Nested blocks within one rule: the document takes a chain exactly as deep as the
// limit, whose innermost mesh the scene then places and the meshability question
// finds, and refuses one more level, a definition placing itself (also through
// geometry replaced later) and one that would expand beyond the bound, each with a
// line naming the block. Blocks that place each other
// many times over are judged without walking their expansion.

#include "materials/material_manager.h"
#include "scene/rh_scene.h"
#include "scene_test_support.h"
#include "sdk/app/rhino_app.h"
#include "sdk/document/block_nesting.h"

#include <gtest/gtest.h>

#include <string>

namespace vantro::test {
namespace {

ON_wString blockName(const std::string& stem, int i) { return ON_wString::FromUtf8(stem + std::to_string(i)); }

class BlockNesting : public ::testing::Test {
protected:
    BlockNesting() {
        base = addLayer(doc, u"Base");
        RhinoApp().ClearCommandHistoryWindow();
    }

    // A definition placing each of ids `copies` times; -1 when refused.
    int place(const ON_wString& name, const std::vector<ON_UUID>& ids, int copies = 1) {
        CRhinoInstanceDefinitionTable::Geometry geometry;
        for (const ON_UUID& id : ids)
            for (int c = 0; c < copies; ++c)
                geometry.push_back(std::make_unique<CRhinoInstanceObject>(
                    id, ON_Xform::TranslationTransformation(c, 0, 0), attributesOn(base)));
        ON_InstanceDefinition idef;
        idef.SetName(name.Array());
        return doc.m_instance_definition_table.AddInstanceDefinition(idef, std::move(geometry));
    }
    // Gives the definition at index new geometry placing each of ids once.
    bool replace(int index, const std::vector<ON_UUID>& ids) {
        CRhinoInstanceDefinitionTable::Geometry geometry;
        for (const ON_UUID& inner : ids)
            geometry.push_back(
                std::make_unique<CRhinoInstanceObject>(inner, ON_Xform::IdentityTransformation, attributesOn(base)));
        return doc.m_instance_definition_table.ModifyInstanceDefinitionGeometry(index, std::move(geometry));
    }
    ON_UUID idOf(int index) const { return doc.m_instance_definition_table[index].Id(); }
    int leaf() { return addBlock(doc, u"leaf", {{triangleMesh(), attributesOn(base)}}); }
    std::string history() const { return RhinoApp().CommandHistoryWindowText().ToUtf8(); }

    CRhinoDoc doc;
    int base = -1;
};

// A chain of definitions each placing the one below: the deepest the limit allows
// is taken and fully followed; one level more is refused with its own message.
TEST_F(BlockNesting, ChainAtTheLimitIsFollowedAndOneMoreIsRefused) {
    int below = leaf();
    ASSERT_GE(below, 0);
    // Level k places k instances one inside the next; an instance of it in the model
    // adds one more to the chain.
    for (int k = 1; k < kMaxBlockNesting; ++k) {
        below = place(blockName("level", k), {idOf(below)});
        ASSERT_GE(below, 0) << history();
    }
    EXPECT_EQ(place(u"one-too-deep", {idOf(below)}), -1);
    EXPECT_NE(history().find("Block \"one-too-deep\" nests blocks more than 64 deep."), std::string::npos) << history();
    EXPECT_EQ(history().find("cannot contain itself"), std::string::npos) << history();

    CRhinoObject* top = doc.AddInstanceObject(below, ON_Xform::TranslationTransformation(5, 0, 0));
    ASSERT_NE(top, nullptr);
    EXPECT_TRUE(top->IsMeshable(ON::render_mesh));
    MaterialManager materials{nullptr};
    materials.LoadMaterials(&doc);
    RHScene scene{nullptr, &materials};
    ASSERT_TRUE(scene.Load(&doc, nullptr, false));
    ASSERT_EQ(scene.objects.at(top->RuntimeSerialNumber()).meshIds.size(), 1u);
    scene.Clear();
}

// The document's reader adds nested definitions first; twenty thousand in one chain
// are refused where the chain passes the limit, as too deep (no cycle is there).
TEST_F(BlockNesting, TwentyThousandNestedBlocksAreTooDeepNotACycle) {
    int below = leaf();
    int refusedAt = -1;
    for (int k = 1; k < 20000 && refusedAt < 0; ++k) {
        int made = place(blockName("d", k), {idOf(below)});
        if (made < 0)
            refusedAt = k;
        below = made;
    }
    EXPECT_EQ(refusedAt, kMaxBlockNesting);
    EXPECT_NE(history().find("Block \"d64\" nests blocks more than 64 deep."), std::string::npos) << history();
    EXPECT_EQ(history().find("cannot contain itself"), std::string::npos) << history();
}

// Replacing a definition's geometry changes what every definition placing it places:
// a replacement that closes a cycle, or makes a chain at the limit one deeper, is
// refused, naming the definition replaced, and the old geometry stays.
TEST_F(BlockNesting, ReplacedGeometryIsCheckedWithEveryDefinitionPlacingIt) {
    const int a = leaf();
    const int b = place(u"B", {idOf(a)});
    ASSERT_GE(b, 0);
    EXPECT_FALSE(replace(a, {idOf(b)}));
    EXPECT_NE(history().find("Block \"leaf\" cannot contain itself."), std::string::npos) << history();
    EXPECT_EQ(doc.m_instance_definition_table[a].ObjectCount(), 1);

    const int bottom = addBlock(doc, u"bottom", {{triangleMesh(), attributesOn(base)}});
    const int other = addBlock(doc, u"other", {{triangleMesh(), attributesOn(base)}});
    int below = bottom;
    for (int k = 1; k < kMaxBlockNesting; ++k)
        ASSERT_GE(below = place(blockName("chain", k), {idOf(below)}), 0) << history();
    EXPECT_FALSE(replace(bottom, {idOf(other)}));
    EXPECT_NE(history().find("Block \"bottom\" nests blocks more than 64 deep."), std::string::npos) << history();
    EXPECT_TRUE(replace(other, {}));  // placed by nothing: nothing else to look at
}

// Each level places the next twice: forty levels would place a trillion triangles.
// The document refuses the level that passes the bound, naming it, without walking
// the expansion; the meshability question and the scene stay linear below it.
TEST_F(BlockNesting, DoublingBlocksAreRefusedWhereTheExpansionPassesTheBound) {
    int below = leaf();
    uint64_t placed = 1;
    int refusedAt = -1;
    for (int k = 1; k <= 40 && refusedAt < 0; ++k) {
        int made = place(blockName("twice", k), {idOf(below)}, 2);
        if (made < 0) {
            refusedAt = k;
            break;
        }
        below = made;
        placed *= 2;
    }
    EXPECT_GT(placed * 2, kMaxBlockExpansion);
    EXPECT_LE(placed, kMaxBlockExpansion);
    EXPECT_NE(history().find("Block \"twice" + std::to_string(refusedAt) + "\" would place more than 134217728"),
              std::string::npos)
        << history();

    // An empty definition doubled to the same depth places nothing: meshability says
    // so by looking at each definition once.
    int empty = place(u"empty", {});
    ASSERT_GE(empty, 0);
    for (int k = 1; k < 40; ++k) {
        empty = place(blockName("hollow", k), {idOf(empty)}, 2);
        ASSERT_GE(empty, 0) << history();
    }
    CRhinoObject* hollow = doc.AddInstanceObject(empty, ON_Xform::IdentityTransformation);
    ASSERT_NE(hollow, nullptr);
    EXPECT_FALSE(hollow->IsMeshable(ON::render_mesh));
}

}  // namespace
}  // namespace vantro::test
