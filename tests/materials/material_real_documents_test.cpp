// Real documents written by the modelling application, read through the converter:
// every material of the table ends up in a record that mirrors it.
#include <gtest/gtest.h>

#include <set>

#include "material_test_support.h"
#include "sdk/io/document_reader.h"
#include "support/outside_data.h"

using namespace vantro::test;

// Each material's record carries its colour, opacity and shine; display names are
// unique across the channel; textures whose files live on other machines are not sent.
TEST(MaterialRealDocuments, RecordsMirrorTheMaterialTable) {
    VANTRO_SKIP_WITHOUT_TESTDATA("3dm/devsamples_MockingBirdTest.3dm", "3dm/opennurbs_v3_Speeder.3dm",
                                 "3dm/opennurbs_v4_DinerMug.3dm", "3dm/rhino3dm_file3dm_stuff.3dm",
                                 "3dm/opennurbs_v5_dril.3dm");
    TestEnvironment env;
    for (const char* file : {"devsamples_MockingBirdTest.3dm", "opennurbs_v3_Speeder.3dm", "opennurbs_v4_DinerMug.3dm",
                             "rhino3dm_file3dm_stuff.3dm", "opennurbs_v5_dril.3dm"}) {
        SCOPED_TRACE(file);
        CRhinoDoc doc;
        const auto read = vantro::docio::readDocumentFile(testdataPath(std::string("3dm/") + file), doc);
        ASSERT_TRUE(read.ok) << read.error;
        const CRhinoMaterialTable& table = doc.m_material_table;
        ASSERT_GT(table.MaterialCount(), 0);
        struct ClosedLink : VantroAPI::LiveConnection {
            ~ClosedLink() override { Close(); }
        } link;
        ASSERT_EQ(link.Create(uniqueName("real"), uint32_t(std::max(5000, 4 * table.MaterialCount()))), 0);
        MaterialManager manager(&link);
        manager.LoadMaterials(&doc);
        ASSERT_TRUE(link.Lock(10000));
        manager.SendPending();
        link.Unlock();

        std::vector<VantroAPI::RecordPrefix*> records;
        link.FindRecords(records, VantroAPI::kTagSrfc, 0, 0);
        EXPECT_EQ(records.size(), manager.MaterialCount() + 1);
        std::set<std::u16string> names;
        for (const VantroAPI::RecordPrefix* record : records)
            names.insert(text(record, srfc::kName));
        EXPECT_EQ(names.size(), records.size());
        for (int i = 0; i < table.MaterialCount(); ++i) {
            const CRhinoMaterial& m = table[i];
            const void* r = manager.FindByIndex(i).record;
            ASSERT_NE(r, nullptr) << i;
            const std::u16string name = text(r, srfc::kName);
            if (m.Name().IsEmpty()) {  // the id, its leading digit made a letter
                EXPECT_EQ(name.size(), 36u) << i;
                EXPECT_FALSE(name[0] >= u'0' && name[0] <= u'9') << i;
            } else {
                EXPECT_EQ(name.rfind(u"Material-", 0), 0u) << i;
            }
            const ON_Color c = m.Diffuse();
            EXPECT_EQ(field(r, srfc::kDiffuse), PackColor(uint8_t(c.Red()), uint8_t(c.Green()), uint8_t(c.Blue()), 1.0))
                << i;
            EXPECT_EQ(field(r, srfc::kOpacity), float(1.0 - m.Transparency())) << i;
            EXPECT_EQ(field(r, srfc::kShine), float(m.Shine() / ON_Material::MaxShine)) << i;
            EXPECT_EQ(field(r, srfc::kTextureStamp), 0u) << i;
            EXPECT_TRUE(text(r, srfc::kTexturePath).empty()) << i;
        }
    }
}
