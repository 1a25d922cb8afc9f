// The material table finds an entry by id through an index of its own: whatever was
// added, replaced, deleted and undeleted, the index must answer as a pass over the
// entries would.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "sdk/rhino_sdk.h"

namespace {

// The answer of a pass over the table: the first entry with that id, skipping deleted
// ones when asked to.
int findByPass(const CRhinoMaterialTable& table, const ON_UUID& id, bool ignoreDeleted) {
    if (ON_UuidIsNil(id))
        return -1;
    for (int i = 0; i < table.MaterialCount(); ++i)
        if (table[i].Id() == id && !(ignoreDeleted && table[i].IsDeleted()))
            return i;
    return -1;
}

ON_Material materialWithId(const ON_UUID& id, int n) {
    ON_Material material;
    material.SetName(ON_wString(std::u16string(u"M") + char16_t(u'a' + n % 26)));
    material.SetDiffuse(ON_Color(n & 0xFF, 3, 5));
    material.SetId(id);
    return material;
}

// Random adds (nil ids, fresh ids, ids already in the table, deleted or not),
// replacements carrying foreign ids, deletes and undeletes; after every step each id
// ever seen, a nil id and an unknown one are looked up both ways.
TEST(MaterialTable, IdLookupMatchesAPass) {
    CRhinoDoc doc;
    CRhinoMaterialTable& table = doc.m_material_table;
    std::mt19937 random(26);
    std::vector<ON_UUID> seen;
    const ON_UUID unknown = ON_CreateUuid();
    auto anySeen = [&] { return seen[random() % seen.size()]; };
    auto anyIndex = [&] { return int(random() % unsigned(table.MaterialCount())); };

    for (int step = 0; step < 400; ++step) {
        const unsigned op = table.MaterialCount() == 0 ? 0 : random() % 6;
        switch (op) {
            case 0: ASSERT_GE(table.AddMaterial(materialWithId(ON_nil_uuid, step)), 0); break;
            case 1: ASSERT_GE(table.AddMaterial(materialWithId(ON_CreateUuid(), step)), 0); break;
            case 2: ASSERT_GE(table.AddMaterial(materialWithId(anySeen(), step)), 0); break;
            case 3:
                table.ModifyMaterial(materialWithId(random() % 2 ? anySeen() : ON_CreateUuid(), step), anyIndex(),
                                     true);
                break;
            case 4: table.DeleteMaterial(anyIndex()); break;
            case 5: table.UndeleteMaterial(anyIndex()); break;
        }
        if (table.MaterialCount() > 0)
            seen.push_back(table[table.MaterialCount() - 1].Id());
        for (const ON_UUID& id : seen) {
            ASSERT_EQ(table.FindMaterialFromId(id, true), findByPass(table, id, true)) << "step " << step;
            ASSERT_EQ(table.FindMaterialFromId(id, false), findByPass(table, id, false)) << "step " << step;
        }
        EXPECT_EQ(table.FindMaterialFromId(unknown, false), -1);
        EXPECT_EQ(table.FindMaterialFromId(ON_nil_uuid, false), -1);
    }
    // Every entry is found at its own index: ids stayed unique over the whole run.
    for (int i = 0; i < table.MaterialCount(); ++i)
        EXPECT_EQ(table.FindMaterialFromId(table[i].Id(), false), i);
}

// A deleted entry's id still belongs to it: found only when deleted entries count, and
// a material added with that id gets a new one instead of shadowing it.
TEST(MaterialTable, DeletedEntryKeepsItsId) {
    CRhinoDoc doc;
    CRhinoMaterialTable& table = doc.m_material_table;
    const ON_UUID id = ON_CreateUuid();
    ASSERT_EQ(table.AddMaterial(materialWithId(id, 0)), 0);
    ASSERT_TRUE(table.DeleteMaterial(0));
    EXPECT_EQ(table.FindMaterialFromId(id), -1);
    EXPECT_EQ(table.FindMaterialFromId(id, false), 0);
    ASSERT_EQ(table.AddMaterial(materialWithId(id, 1)), 1);
    EXPECT_FALSE(table[1].Id() == id);
    EXPECT_EQ(table.FindMaterialFromId(table[1].Id()), 1);
    ASSERT_TRUE(table.UndeleteMaterial(0));
    EXPECT_EQ(table.FindMaterialFromId(id), 0);
}

}  // namespace
