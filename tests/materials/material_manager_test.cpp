// The material manager's bookkeeping: lookups, updates, flags, the load's progress and
// the channel's limits. (Record fields as a renderer reads them: material_peer_test.cpp.)

#include "materials/material_manager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <thread>

#include "material_test_support.h"

using namespace vantro::materials;
using namespace vantro::test;

namespace {

class MaterialManagerTest : public MaterialLinkTest {
protected:
    // Changes the material at index in the document as change says.
    template <class Change>
    void modify(int index, Change change) {
        ON_Material m = material(index);
        change(m);
        ASSERT_TRUE(doc.m_material_table.ModifyMaterial(m, index));
    }
    MaterialManager manager{&link};
};

// Room for two material records besides VIEW and STAT.
class FullChannelTest : public MaterialLinkTest {
    uint32_t slots() const override { return 4; }
};

}  // namespace

// Lookups by index, id and keys; what is not found is the default material (or
// nothing, when asked so). Colour packing clamps the alpha.
TEST_F(MaterialManagerTest, Lookups) {
    const int a = addMaterial(u"Wood"), c = addMaterial(u"Wood", ON_Color(200, 0, 0));
    manager.LoadMaterials(&doc);
    MaterialInfo& wood = manager.FindByIndex(a);
    EXPECT_EQ(wood.nameKey, MaterialNameKey(&material(a)));
    EXPECT_EQ(wood.renderCrc, MaterialRenderCrc(&material(a)));
    EXPECT_NE(manager.FindByIndex(c).renderCrc, wood.renderCrc);
    EXPECT_EQ(wood.renderCrc >> 32, 0u);
    EXPECT_EQ(manager.FindByKeys(wood.nameKey, wood.renderCrc, false), &wood);
    EXPECT_EQ(&manager.FindById(wood.id), &wood);
    for (MaterialInfo* other : {&manager.FindById(123456789), &manager.FindByIndex(-1), &manager.FindByIndex(99),
                                manager.FindByKeys(1, 2, true)})
        EXPECT_EQ(other, &manager.DefaultMaterial());
    EXPECT_EQ(manager.FindByKeys(1, 2, false), nullptr);
    EXPECT_EQ(PackColor(1, 2, 3, 0.5), 0x7F010203u);
    EXPECT_EQ(PackColor(1, 2, 3, 2.0), 0xFF010203u);
    EXPECT_EQ(PackColor(1, 2, 3, std::nan("")), 0x00010203u);
}

// Water is recognised by name and wins over the glass content type; other content is
// no type.
TEST_F(MaterialManagerTest, WaterWinsOverGlass) {
    const ON_UUID glass = ON_CreateUuid(), plain = ON_CreateUuid();
    ASSERT_TRUE(doc.RdkDocument().AddContent(glass, ON_UuidFromString(std::string_view(kGlassTypeId)), u"Glass"));
    ASSERT_TRUE(doc.RdkDocument().AddContent(plain, CRhRdkMaterial::BasicMaterialTypeId, u"Plain"));
    auto add = [&](const char16_t* n, const ON_UUID& content) {
        ON_Material m;
        m.SetName(n);
        m.SetRdkMaterialInstanceId(content);
        return doc.m_material_table.AddMaterial(m);
    };
    const std::vector<std::pair<int, MaterialType>> cases = {{add(u"Seawater", glass), MaterialType::water},
                                                             {add(u"Plain", plain), MaterialType::none},
                                                             {add(u"Ghost", ON_CreateUuid()), MaterialType::none}};
    manager.LoadMaterials(&doc);
    for (const auto& [index, type] : cases)
        EXPECT_EQ(manager.FindByIndex(index).type, type) << index;
}

// The name is cut to 260 units without a terminator; bytes that are not the material
// writer's (the unwritten gaps and the scene's geometry half) survive a re-send.
TEST_F(MaterialManagerTest, RecordBytes) {
    const std::u16string longName(300, u'x');
    const int index = addMaterial(longName.c_str());
    manager.LoadMaterials(&doc);
    send(manager);
    MaterialInfo& info = manager.FindByIndex(index);
    ASSERT_NE(info.record, nullptr);
    const std::byte* r = recordOf(info);
    EXPECT_EQ(text(r, srfc::kName), (u"Material-" + longName).substr(0, 260));
    std::memset(reinterpret_cast<uint8_t*>(info.record) + 840, 0xAB, 16);
    std::memset(reinterpret_cast<uint8_t*>(info.record) + 1916, 0xAB, 16);
    modify(index, [](ON_Material& m) { m.SetDiffuse(ON_Color(4, 5, 6)); });
    ASSERT_EQ(manager.UpdateMaterial(&material(index)), &info);
    send(manager);
    EXPECT_EQ(field(r, srfc::kDiffuse), 0xFF040506u);
    EXPECT_TRUE(allBytesAre(r, 840, 16, 0xAB));
    EXPECT_TRUE(allBytesAre(r, 1916, 16, 0xAB));
}

// The header is flagged after each batch; a re-send of an unchanged material only marks
// it changed (0x1), without a revision step (0x100) or a texture rebuild (0x200).
TEST_F(MaterialManagerTest, FlagsAndRevisions) {
    addMaterial(u"Wood");
    manager.LoadMaterials(&doc);
    MaterialInfo& info = manager.FindByIndex(0);
    EXPECT_TRUE(manager.HasPending());
    const uint32_t headerChanges = link.GetUpdateCount();
    send(manager);
    EXPECT_FALSE(manager.HasPending());
    EXPECT_EQ(link.GetUpdateCount(), headerChanges + 1);
    EXPECT_FALSE(info.changed || info.textureChanged);
    link.ClearRecordFlags(info.record, 0xFFFFFFFF);
    manager.SendMaterial(&info);
    EXPECT_EQ(field(info.record, VantroAPI::record::kFlags), 0x1u);
    EXPECT_EQ(field(info.record, VantroAPI::record::kChangeCount), 2u);
    EXPECT_EQ(field(info.record, srfc::kRevision), 1u);
}

// An update to another record's keys re-points the material there; to new keys it
// re-translates the record in place for all sharing it; an unknown material is added.
TEST_F(MaterialManagerTest, UpdateRemapsOrRetranslates) {
    const int a = addMaterial(u"Oak"), b = addMaterial(u"Oak"), c = addMaterial(u"Pine");
    manager.LoadMaterials(&doc);
    send(manager);
    MaterialInfo* oak = &manager.FindByIndex(a);
    MaterialInfo* pine = &manager.FindByIndex(c);
    modify(b, [](ON_Material& m) { m.SetName(u"Pine"); });
    EXPECT_EQ(manager.UpdateMaterial(&material(b)), pine);
    EXPECT_EQ(&manager.FindByIndex(b), pine);
    EXPECT_EQ(&manager.FindByIndex(a), oak);
    EXPECT_EQ(oak->name, u"Material-Oak");
    modify(a, [](ON_Material& m) { m.SetName(u"Birch"); });
    EXPECT_EQ(manager.UpdateMaterial(&material(a)), oak);
    EXPECT_EQ(oak->name, u"Material-Birch");
    EXPECT_EQ(oak->nameKey, NameKeyOfText(u"Birch"));
    EXPECT_EQ(manager.FindByKeys(NameKeyOfText(u"Oak"), oak->renderCrc, false), nullptr);
    EXPECT_EQ(manager.MaterialCount(), 2u);

    // The freed display name is handed out again.
    const int d = addMaterial(u"Oak", ON_Color(9, 9, 9));
    EXPECT_EQ(manager.AddMaterial(material(d).RuntimeSerialNumber())->name, u"Material-Oak");
    EXPECT_EQ(manager.UpdateMaterial(uint64_t(0)), nullptr);
    EXPECT_EQ(manager.AddMaterial(uint64_t(0)), nullptr);
    EXPECT_EQ(manager.AddMaterial(static_cast<const ON_Material*>(nullptr)), nullptr);
    MaterialInfo* elm = manager.UpdateMaterial(&material(addMaterial(u"Elm")));
    ASSERT_NE(elm, nullptr);
    EXPECT_EQ(elm->name, u"Material-Elm");
    send(manager);
    EXPECT_NE(elm->record, nullptr);
}

// A load takes materials in batches; materials with the same keys share one record
// whether they meet within a batch or across batches, deleted ones are skipped, and
// every index maps to the record of its keys.
TEST_F(MaterialManagerTest, LoadSharesRecordsAcrossBatches) {
    std::vector<int> indices;
    for (int i = 0; i < 150; ++i)
        indices.push_back(i % 5 == 4 ? addMaterial(u"Solo", ON_Color(uint8_t(i), 1, 2))
                                     : addMaterial(u"Tile", ON_Color(uint8_t(i % 3), 0, 0)));
    ASSERT_TRUE(doc.m_material_table.DeleteMaterial(indices[149]));
    manager.LoadMaterials(&doc);
    EXPECT_EQ(manager.MaterialCount(), 3u + 29u);  // three tiles, 30 solos but the deleted one
    for (int index : indices) {
        const CRhinoMaterial& m = material(index);
        MaterialInfo* expected = m.IsDeleted() ? &manager.DefaultMaterial()
                                               : manager.FindByKeys(MaterialNameKey(&m), MaterialRenderCrc(&m), false);
        ASSERT_NE(expected, nullptr) << index;
        EXPECT_EQ(&manager.FindByIndex(index), expected) << index;
    }
    EXPECT_EQ(&manager.FindByIndex(indices[0]), &manager.FindByIndex(indices[33]));
    EXPECT_NE(&manager.FindByIndex(indices[0]), &manager.FindByIndex(indices[1]));
}

// A reload gives every material the record and name the first load gave it, whether the
// manager keeps the last load's memory (a document of about the same size) or gives it
// back (after a much larger one); nothing of the loads before shows.
TEST_F(MaterialManagerTest, ReloadsStartAfresh) {
    std::vector<int> indices;
    for (int i = 0; i < 120; ++i)
        indices.push_back(addMaterial(i % 2 ? u"Tile" : u"Stone", ON_Color(uint8_t(i), 0, 0)));
    manager.LoadMaterials(&doc);
    std::vector<std::u16string> firstNames;
    for (int index : indices)
        firstNames.push_back(manager.FindByIndex(index).name);
    EXPECT_EQ(firstNames[0], u"Material-Stone");
    EXPECT_EQ(firstNames[119], u"Material-Tile(59)");
    send(manager);
    int64_t newestId = 0;
    for (int index : indices)
        newestId = std::max(newestId, manager.FindByIndex(index).id);

    CRhinoDoc small;
    ON_Material only;
    only.SetName(ON_wString(u"Stone"));
    ASSERT_GE(small.m_material_table.AddMaterial(only), 0);
    for (CRhinoDoc* next : {&doc, &small, &doc}) {
        manager.LoadMaterials(next);
        const bool isSmall = next == &small;
        EXPECT_EQ(manager.MaterialCount(), isSmall ? 1u : 120u);
        EXPECT_EQ(manager.FindByIndex(0).name, u"Material-Stone");
        if (isSmall)
            continue;
        // New records: new ids, nothing sent yet, everything to be sent.
        for (size_t i = 0; i < indices.size(); ++i) {
            const MaterialInfo& info = manager.FindByIndex(indices[i]);
            ASSERT_EQ(info.name, firstNames[i]) << i;
            ASSERT_GT(info.id, newestId) << i;
            ASSERT_EQ(info.record, nullptr) << i;
            ASSERT_TRUE(info.changed) << i;
        }
        EXPECT_EQ(
            manager.FindByKeys(MaterialNameKey(&material(indices[5])), MaterialRenderCrc(&material(indices[5])), false),
            &manager.FindByIndex(indices[5]));
    }
}

// Events name a material by its runtime serial number: materials added after the load
// are found, one of another document is not, and an unknown serial finds nothing.
TEST_F(MaterialManagerTest, EventsFindMaterialsBySerial) {
    addMaterial(u"Oak");
    manager.LoadMaterials(&doc);
    for (int i = 0; i < 40; ++i) {
        const int index = addMaterial(u"Pine", ON_Color(uint8_t(i), 9, 9));
        const MaterialInfo* added = manager.AddMaterial(material(index).RuntimeSerialNumber());
        ASSERT_NE(added, nullptr) << i;
        EXPECT_EQ(added, &manager.FindByIndex(index)) << i;
        const std::string suffix = i == 0 ? "" : "(" + std::to_string(i) + ")";
        EXPECT_EQ(added->name, u"Material-Pine" + std::u16string(suffix.begin(), suffix.end())) << i;
    }
    EXPECT_EQ(manager.AddMaterial(uint64_t{0}), nullptr);
    modify(0, [](ON_Material& m) { m.SetName(ON_wString(u"Ash")); });
    EXPECT_EQ(manager.UpdateMaterial(material(0).RuntimeSerialNumber())->name, u"Material-Ash");

    const uint64_t oak = material(0).RuntimeSerialNumber();
    CRhinoDoc other;
    ON_Material elm;
    elm.SetName(ON_wString(u"Elm"));
    ASSERT_GE(other.m_material_table.AddMaterial(elm), 0);
    manager.LoadMaterials(&other);
    EXPECT_EQ(manager.AddMaterial(oak), nullptr);
    EXPECT_EQ(manager.AddMaterial(other.m_material_table[0].RuntimeSerialNumber())->name, u"Material-Elm");
}

// A reload skips a deleted material while its old record stays in the link.
TEST_F(MaterialManagerTest, DeletedMaterialKeepsRecord) {
    const int index = addMaterial(u"Brick");
    manager.LoadMaterials(&doc);
    send(manager);
    ASSERT_TRUE(doc.m_material_table.DeleteMaterial(index));
    const uint32_t records = link.CountRecords(VantroAPI::kTagSrfc, 0, 0);
    manager.LoadMaterials(&doc);
    EXPECT_EQ(manager.MaterialCount(), 0u);
    send(manager);
    EXPECT_EQ(link.CountRecords(VantroAPI::kTagSrfc, 0, 0), records + 1);  // the default material's new one
}

// A long table moves the meter once per whole percent, in order, from the first
// material on: every percent shown, none twice.
TEST_F(MaterialManagerTest, LoadProgressMovesByWholePercents) {
    for (int i = 0; i < 250; ++i)
        addMaterial(u"Tile", ON_Color(i, 0, 0));
    RhinoApp().ClearProgressMeterHistory();
    manager.LoadMaterials(&doc);
    const auto& meters = RhinoApp().ProgressMeterHistory();
    ASSERT_EQ(meters.size(), 1u);
    const std::vector<int>& positions = meters[0].positions;
    ASSERT_EQ(positions.size(), 100u);
    for (size_t p = 0; p < positions.size(); ++p)
        EXPECT_EQ(positions[p] * 100 / 250, int(p)) << "position " << positions[p];
    EXPECT_EQ(positions.front(), 0);
    EXPECT_TRUE(meters[0].ended);
}

// Loading shows the progress meter over the table and sends the default material too;
// clearing forgets everything but leaves the records.
TEST_F(MaterialManagerTest, LoadProgressAndDefaultMaterial) {
    for (const char16_t* n : {u"A", u"B", u"C"})
        addMaterial(n);
    RhinoApp().ClearProgressMeterHistory();
    manager.LoadMaterials(&doc);
    const auto& meters = RhinoApp().ProgressMeterHistory();
    ASSERT_EQ(meters.size(), 1u);
    EXPECT_EQ(std::pair(meters[0].lower, meters[0].upper), std::pair(0, 3));
    EXPECT_EQ(meters[0].label, u"Velora Vantro: loading materials\u2026 ");
    EXPECT_TRUE(meters[0].showPercent && meters[0].ended);
    EXPECT_EQ(meters[0].positions, (std::vector<int>{0, 1, 2}));
    EXPECT_FALSE(RhinoApp().StatusBarProgressMeterRunning());
    EXPECT_EQ(manager.DefaultMaterial().id, -1);
    send(manager);
    EXPECT_EQ(link.CountRecords(VantroAPI::kTagSrfc, 0, 0), 4u);
    EXPECT_EQ(manager.Document(), &doc);
    manager.Clear();
    EXPECT_EQ(manager.MaterialCount(), 0u);
    EXPECT_EQ(manager.DefaultMaterial().record, nullptr);
    EXPECT_EQ(manager.Document(), nullptr);
    EXPECT_FALSE(manager.HasPending());
    EXPECT_EQ(link.CountRecords(VantroAPI::kTagSrfc, 0, 0), 4u);
}

// A material that finds no free slot is not sent and not kept pending.
TEST_F(FullChannelTest, MaterialWithoutSlotIsDropped) {
    addMaterial(u"A");
    addMaterial(u"B");
    MaterialManager manager(&link);
    manager.LoadMaterials(&doc);
    send(manager);
    EXPECT_FALSE(manager.HasPending());
    EXPECT_EQ(link.CountRecords(VantroAPI::kTagSrfc, 0, 0), 2u);
    int sent = manager.DefaultMaterial().record != nullptr;
    for (MaterialInfo* info : manager.Materials())
        sent += info->record != nullptr;
    EXPECT_EQ(sent, 2);
    EXPECT_LT(manager.Materials()[0]->id, manager.Materials()[1]->id);
}

// The main thread edits and the sync worker sends, handing the manager over as the
// scene lock does; buffers released on the worker are destroyed there.
TEST_F(MaterialManagerTest, SendsFromWorkerThread) {
    ON_Bitmap bitmap;
    ASSERT_TRUE(bitmap.Create(4, 4, 32));
    bitmap.SetId();
    const ON_UUID bitmapId = bitmap.Id();
    ASSERT_GE(doc.m_bitmap_table.AddBitmap(bitmap), 0);
    ON_Texture texture;
    texture.m_texture_id = bitmapId;
    ON_Material decal;
    decal.SetName(u"Decal");
    decal.AddTexture(texture);
    int index = doc.m_material_table.AddMaterial(decal);
    for (int i = 0; i < 20; ++i)
        addMaterial(u"Tile", ON_Color(i, i, i));

    std::timed_mutex sceneLock;
    auto worker = [&] {
        std::lock_guard<std::timed_mutex> scene(sceneLock);
        send(manager);
    };
    {
        std::lock_guard<std::timed_mutex> scene(sceneLock);
        manager.LoadMaterials(&doc);
    }
    std::thread(worker).join();
    const uint32_t first = field(recordOf(manager.FindByIndex(index)), srfc::kTextureBuffer);
    ASSERT_NE(first, 0u);
    {
        std::lock_guard<std::timed_mutex> scene(sceneLock);
        ON_Material plain = material(index);
        plain.m_textures.Empty();
        ASSERT_TRUE(doc.m_material_table.ModifyMaterial(plain, index));
        manager.UpdateMaterial(&material(index));
    }
    std::thread(worker).join();
    EXPECT_EQ(field(recordOf(manager.FindByIndex(index)), srfc::kTextureBuffer), 0u);
    EXPECT_EQ(link.MappedBufferSize(first), 0u);
    EXPECT_EQ(link.CountRecords(VantroAPI::kTagSrfc, 0, 0), 22u);
}
