// Real documents written by the modelling application, read through the converter:
// every material of the table ends up in a record that mirrors it.
#include <gtest/gtest.h>

#include <set>

#include "material_test_support.h"
#include "sdk/io/document_reader.h"
#include "support/outside_data.h"

using namespace vantro::test;

namespace {

struct Sent {
    std::unique_ptr<VantroAPI::LiveConnection> link = std::make_unique<VantroAPI::LiveConnection>();
    std::unique_ptr<MaterialManager> manager;
    ~Sent() { link->Close(); }
};

bool load(const char* file, CRhinoDoc& doc) {
    auto result = vantro::docio::readDocumentFile(testdataPath(std::string("3dm/") + file), doc);
    EXPECT_TRUE(result.ok) << result.error;
    return result.ok;
}

void send(CRhinoDoc& doc, Sent& sent) {
    const int count = doc.m_material_table.MaterialCount();
    ASSERT_EQ(sent.link->Create(uniqueName("real"), uint32_t(std::max(5000, 4 * count))), 0);
    sent.manager = std::make_unique<MaterialManager>(sent.link.get());
    sent.manager->LoadMaterials(&doc);
    ASSERT_TRUE(sent.link->Lock(10000));
    sent.manager->SendPending();
    sent.link->Unlock();
}

}  // namespace

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
        if (!load(file, doc))
            continue;
        Sent sent;
        send(doc, sent);
        std::vector<VantroAPI::RecordPrefix*> records;
        sent.link->FindRecords(records, VantroAPI::kTagSrfc, 0, 0);
        EXPECT_EQ(records.size(), sent.manager->MaterialCount() + 1);
        std::set<std::u16string> names;
        for (const VantroAPI::RecordPrefix* record : records)
            names.insert(text(record, srfc::kName));
        EXPECT_EQ(names.size(), records.size());

        const CRhinoMaterialTable& table = doc.m_material_table;
        ASSERT_GT(table.MaterialCount(), 0);
        for (int i = 0; i < table.MaterialCount(); ++i) {
            const CRhinoMaterial& m = table[i];
            const MaterialInfo& info = sent.manager->FindByIndex(i);
            ASSERT_NE(info.record, nullptr) << i;
            const void* r = info.record;
            const std::u16string name = text(r, srfc::kName);
            if (m.Name().IsEmpty()) {
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
