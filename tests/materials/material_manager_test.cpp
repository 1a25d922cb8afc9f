#include "materials/material_manager.h"

#include <gtest/gtest.h>

#include <cmath>
#include <mutex>
#include <thread>

#include "material_test_support.h"

using namespace vantro::materials;

using namespace vantro::test;

namespace {

const ON_UUID kGlass = ON_UuidFromString(std::string_view(kGlassTypeId));

class MaterialManagerTest : public MaterialLinkTest {};

}  // namespace

// Same name and properties share a record; same name with other colours gets a suffix.
TEST_F(MaterialManagerTest, SharedRecordsAndUniqueNames) {
    int a = addMaterial(u"Wood");
    int b = addMaterial(u"Wood");
    int c = addMaterial(u"Wood", ON_Color(200, 0, 0));
    int d = addMaterial(u"Stone");
    MaterialManager manager(&link);
    manager.LoadMaterials(&doc);
    EXPECT_EQ(manager.MaterialCount(), 3u);
    MaterialInfo& wood = manager.FindByIndex(a);
    EXPECT_EQ(&manager.FindByIndex(b), &wood);
    EXPECT_EQ(wood.name, u"Material-Wood");
    EXPECT_EQ(manager.FindByIndex(c).name, u"Material-Wood(1)");
    EXPECT_EQ(manager.FindByIndex(d).name, u"Material-Stone");
    EXPECT_EQ(wood.nameKey, MaterialNameKey(&material(a)));
    EXPECT_EQ(wood.renderCrc, MaterialRenderCrc(&material(a)));
    EXPECT_NE(manager.FindByIndex(c).renderCrc, wood.renderCrc);
    EXPECT_EQ(wood.renderCrc >> 32, 0u);
    EXPECT_EQ(manager.FindByKeys(wood.nameKey, wood.renderCrc, false), &wood);
    EXPECT_EQ(&manager.FindById(wood.id), &wood);
    EXPECT_EQ(&manager.FindById(123456789), &manager.DefaultMaterial());
    EXPECT_EQ(&manager.FindByIndex(-1), &manager.DefaultMaterial());
    EXPECT_EQ(&manager.FindByIndex(99), &manager.DefaultMaterial());
    EXPECT_EQ(manager.FindByKeys(1, 2, false), nullptr);
    EXPECT_EQ(manager.FindByKeys(1, 2, true), &manager.DefaultMaterial());
    // (Colours, shine, opacity and names as a renderer reads them: material_peer_test.cpp.)
    EXPECT_EQ(PackColor(1, 2, 3, 0.5), 0x7F010203u);
    EXPECT_EQ(PackColor(1, 2, 3, 2.0), 0xFF010203u);
    EXPECT_EQ(PackColor(1, 2, 3, std::nan("")), 0x00010203u);
}

// Water is recognised by name and wins over the glass content type; other content is
// no type. (Water and glass alone: material_peer_test.cpp.)
TEST_F(MaterialManagerTest, WaterAndGlass) {
    ON_UUID glassContent = ON_CreateUuid();
    ON_UUID plainContent = ON_CreateUuid();
    ASSERT_TRUE(doc.RdkDocument().AddContent(glassContent, kGlass, u"Glass"));
    ASSERT_TRUE(doc.RdkDocument().AddContent(plainContent, CRhRdkMaterial::BasicMaterialTypeId, u"Plain"));
    auto add = [&](const char16_t* n, const ON_UUID& content) {
        ON_Material m;
        m.SetName(n);
        m.SetRdkMaterialInstanceId(content);
        return doc.m_material_table.AddMaterial(m);
    };
    const std::vector<std::pair<int, MaterialType>> cases = {{add(u"Seawater", glassContent), MaterialType::water},
                                                             {add(u"Plain", plainContent), MaterialType::none},
                                                             {add(u"Ghost", ON_CreateUuid()), MaterialType::none}};
    MaterialManager manager(&link);
    manager.LoadMaterials(&doc);
    for (const auto& [index, type] : cases)
        EXPECT_EQ(manager.FindByIndex(index).type, type) << index;
}

// The name is cut to 260 units without a terminator; bytes that are not the material
// writer's are left alone. (Every field as a renderer reads it: material_peer_test.cpp.)
TEST_F(MaterialManagerTest, RecordBytes) {
    std::u16string longName(300, u'x');
    ON_Material m;
    m.SetName(longName.c_str());
    m.SetDiffuse(ON_Color(1, 2, 3));
    int index = doc.m_material_table.AddMaterial(m);
    MaterialManager manager(&link);
    manager.LoadMaterials(&doc);
    send(manager);
    MaterialInfo& info = manager.FindByIndex(index);
    ASSERT_NE(info.record, nullptr);
    const std::byte* r = recordOf(info);
    EXPECT_EQ(text(r, srfc::kName), (u"Material-" + longName).substr(0, 260));
    EXPECT_EQ(field(r, VantroAPI::Field<char16_t>{24 + 259 * 2}), u'x');  // full: no terminator

    // Bytes of others (the unwritten gaps and the scene's geometry half) survive a re-send.
    auto* w = reinterpret_cast<uint8_t*>(info.record);
    std::memset(w + 840, 0xAB, 16);
    std::memset(w + 1916, 0xAB, 16);
    m.SetDiffuse(ON_Color(4, 5, 6));
    ASSERT_TRUE(doc.m_material_table.ModifyMaterial(m, index));
    ASSERT_EQ(manager.UpdateMaterial(&material(index)), &info);
    send(manager);
    EXPECT_EQ(field(r, srfc::kDiffuse), 0xFF040506u);
    EXPECT_TRUE(allBytesAre(r, 840, 16, 0xAB));
    EXPECT_TRUE(allBytesAre(r, 1916, 16, 0xAB));
}

// Flags: 0x1 always, 0x100 with a revision step when properties changed, 0x200 when
// the texture state was rebuilt; the header is flagged after each batch.
TEST_F(MaterialManagerTest, FlagsAndRevisions) {
    int index = addMaterial(u"Wood");
    MaterialManager manager(&link);
    manager.LoadMaterials(&doc);
    EXPECT_TRUE(manager.HasPending());
    const uint32_t headerChanges = link.GetUpdateCount();
    send(manager);
    EXPECT_FALSE(manager.HasPending());
    EXPECT_EQ(link.GetUpdateCount(), headerChanges + 1);
    MaterialInfo& info = manager.FindByIndex(index);
    const std::byte* r = recordOf(info);
    EXPECT_EQ(flagsOf(r), 0x301u);
    EXPECT_EQ(changeCountOf(r), 1u);
    EXPECT_EQ(field(r, srfc::kRevision), 1u);
    EXPECT_FALSE(info.changed);
    EXPECT_FALSE(info.textureChanged);

    // The peer clears the bits; a re-send of an unchanged material only marks it changed.
    link.ClearRecordFlags(info.record, 0xFFFFFFFF);
    manager.SendMaterial(&info);
    EXPECT_EQ(flagsOf(r), 0x1u);
    EXPECT_EQ(changeCountOf(r), 2u);
    EXPECT_EQ(field(r, srfc::kRevision), 1u);

    link.ClearRecordFlags(info.record, 0xFFFFFFFF);
    ON_Material changed = material(index);
    changed.SetShine(100);
    ASSERT_TRUE(doc.m_material_table.ModifyMaterial(changed, index));
    manager.UpdateMaterial(material(index).RuntimeSerialNumber());
    send(manager);
    EXPECT_EQ(flagsOf(r), 0x301u);
    EXPECT_EQ(field(r, srfc::kRevision), 2u);
    EXPECT_EQ(field(r, srfc::kShine), float(100 / 255.0));
}

// An update whose new keys belong to another record re-points the material there; one
// whose keys are new re-translates its record in place, for every material sharing it.
TEST_F(MaterialManagerTest, UpdateRemapsOrRetranslates) {
    int a = addMaterial(u"Oak");
    int b = addMaterial(u"Oak");
    int c = addMaterial(u"Pine");
    MaterialManager manager(&link);
    manager.LoadMaterials(&doc);
    send(manager);
    MaterialInfo* oak = &manager.FindByIndex(a);
    MaterialInfo* pine = &manager.FindByIndex(c);

    ON_Material m = material(b);
    m.SetName(u"Pine");
    ASSERT_TRUE(doc.m_material_table.ModifyMaterial(m, b));
    EXPECT_EQ(manager.UpdateMaterial(&material(b)), pine);
    EXPECT_EQ(&manager.FindByIndex(b), pine);
    EXPECT_EQ(&manager.FindByIndex(a), oak);
    EXPECT_EQ(oak->name, u"Material-Oak");

    m = material(a);
    m.SetName(u"Birch");
    ASSERT_TRUE(doc.m_material_table.ModifyMaterial(m, a));
    EXPECT_EQ(manager.UpdateMaterial(&material(a)), oak);
    EXPECT_EQ(oak->name, u"Material-Birch");
    EXPECT_EQ(oak->nameKey, NameKeyOfText(u"Birch"));
    EXPECT_EQ(manager.FindByKeys(NameKeyOfText(u"Oak"), oak->renderCrc, false), nullptr);
    EXPECT_EQ(manager.MaterialCount(), 2u);

    // The freed display name is handed out again.
    int d = addMaterial(u"Oak", ON_Color(9, 9, 9));
    EXPECT_EQ(manager.AddMaterial(material(d).RuntimeSerialNumber())->name, u"Material-Oak");
    EXPECT_EQ(manager.UpdateMaterial(uint64_t(0)), nullptr);
    EXPECT_EQ(manager.AddMaterial(uint64_t(0)), nullptr);
    EXPECT_EQ(manager.AddMaterial(static_cast<const ON_Material*>(nullptr)), nullptr);

    // An update of a material the manager never saw adds it.
    int e = addMaterial(u"Elm");
    MaterialInfo* elm = manager.UpdateMaterial(&material(e));
    ASSERT_NE(elm, nullptr);
    EXPECT_EQ(elm->name, u"Material-Elm");
    send(manager);
    EXPECT_NE(elm->record, nullptr);
}

// Deleting a material leaves nothing pending (its record staying as it was:
// material_peer_test.cpp); a reload skips it.
TEST_F(MaterialManagerTest, DeletedMaterialKeepsRecord) {
    int index = addMaterial(u"Brick");
    MaterialManager manager(&link);
    manager.LoadMaterials(&doc);
    send(manager);
    ASSERT_TRUE(doc.m_material_table.DeleteMaterial(index));
    EXPECT_TRUE(manager.RemoveMaterial(material(index).RuntimeSerialNumber()));
    EXPECT_FALSE(manager.HasPending());

    // A reload skips deleted materials; the old record stays in the link.
    const uint32_t records = link.CountRecords(VantroAPI::kTagSrfc, 0, 0);
    manager.LoadMaterials(&doc);
    EXPECT_EQ(manager.MaterialCount(), 0u);
    send(manager);
    EXPECT_EQ(link.CountRecords(VantroAPI::kTagSrfc, 0, 0), records + 1);  // the default material's new one
}

// Loading shows the progress meter over the table and sends the default material too.
TEST_F(MaterialManagerTest, LoadProgressAndDefaultMaterial) {
    for (const char16_t* n : {u"A", u"B", u"C"})
        addMaterial(n);
    RhinoApp().ClearProgressMeterHistory();
    MaterialManager manager(&link);
    manager.LoadMaterials(&doc);
    const auto& meters = RhinoApp().ProgressMeterHistory();
    ASSERT_EQ(meters.size(), 1u);
    EXPECT_EQ(meters[0].lower, 0);
    EXPECT_EQ(meters[0].upper, 3);
    EXPECT_EQ(meters[0].label, u"Velora Vantro: loading materials\u2026 ");
    EXPECT_TRUE(meters[0].showPercent);
    EXPECT_EQ(meters[0].positions, (std::vector<int>{0, 1, 2}));
    EXPECT_TRUE(meters[0].ended);
    EXPECT_FALSE(RhinoApp().StatusBarProgressMeterRunning());

    MaterialInfo& fallback = manager.DefaultMaterial();
    EXPECT_EQ(fallback.id, -1);
    EXPECT_EQ(fallback.name, u"Material-Default");
    EXPECT_EQ(fallback.diffuse, 0xFFFAFAFAu);
    send(manager);
    ASSERT_NE(fallback.record, nullptr);
    EXPECT_EQ(text(recordOf(fallback), srfc::kName), u"Material-Default");
    EXPECT_EQ(link.CountRecords(VantroAPI::kTagSrfc, 0, 0), 4u);
    EXPECT_EQ(manager.Document(), &doc);

    manager.Clear();
    EXPECT_EQ(manager.MaterialCount(), 0u);
    EXPECT_EQ(manager.DefaultMaterial().record, nullptr);
    EXPECT_EQ(manager.Document(), nullptr);
    EXPECT_FALSE(manager.HasPending());
    EXPECT_EQ(link.CountRecords(VantroAPI::kTagSrfc, 0, 0), 4u);
}

// Without a link (the export's manager) nothing is sent and pending stays.
TEST_F(MaterialManagerTest, NoLinkSendsNothing) {
    addMaterial(u"A");
    MaterialManager manager(nullptr);
    manager.LoadMaterials(&doc);
    manager.SendPending();
    EXPECT_TRUE(manager.HasPending());
    EXPECT_EQ(manager.DefaultMaterial().record, nullptr);
    EXPECT_EQ(link.CountRecords(VantroAPI::kTagSrfc, 0, 0), 0u);
    manager.LoadMaterials(nullptr);
    EXPECT_EQ(manager.MaterialCount(), 0u);
}

namespace {

// Two record slots besides VIEW and STAT: room for two materials only.
class FullChannelTest : public MaterialLinkTest {
    uint32_t slots() const override { return 4; }
};

}  // namespace

// A material that finds no free slot is not sent and not kept pending.
TEST_F(FullChannelTest, MaterialWithoutSlotIsDropped) {
    addMaterial(u"A");
    addMaterial(u"B");
    MaterialManager manager(&link);
    manager.LoadMaterials(&doc);
    send(manager);
    EXPECT_FALSE(manager.HasPending());
    EXPECT_EQ(link.CountRecords(VantroAPI::kTagSrfc, 0, 0), 2u);
    int sent = 0;
    for (MaterialInfo* info : manager.Materials())
        sent += info->record != nullptr;
    EXPECT_EQ(sent + (manager.DefaultMaterial().record != nullptr), 2);
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

    MaterialManager manager(&link);
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
