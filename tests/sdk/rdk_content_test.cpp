// RDK: the basic material's render CRC, and content lookup by instance id.

#include <gtest/gtest.h>

#include <memory>

#include "sdk_test_support.h"

using namespace vantro::sdktest;

namespace {
unsigned int crcOf(const ON_Material& m) {
    std::unique_ptr<CRhRdkMaterial> content(RhRdkNewBasicMaterial(m));
    return content->RenderCRC(CRhRdkContent::CRenderCRCFlags(0));
}
}  // namespace

// Materials that render alike share a CRC whatever their name, id or serial; any
// rendering property changes it.
TEST(RdkContent, BasicMaterialRenderCrc) {
    ON_Material a;
    a.SetName(u"Wood");
    a.SetDiffuse(ON_Color(120, 80, 40));
    ON_Material b = a;
    b.SetName(u"Other name");
    b.SetId();
    EXPECT_EQ(crcOf(a), crcOf(b));

    ON_Material c = a;
    c.SetDiffuse(ON_Color(121, 80, 40));
    EXPECT_NE(crcOf(a), crcOf(c));
    ON_Material d = a;
    d.SetTransparency(0.25);
    EXPECT_NE(crcOf(a), crcOf(d));
    ON_Material e = a;
    ON_Texture t;
    t.m_image_file_reference.SetFullPath(u"C:\\tex\\wood.jpg");
    e.AddTexture(t);
    EXPECT_NE(crcOf(a), crcOf(e));
    ON_Material f = e;
    f.m_textures[0].m_bOn = false;
    EXPECT_NE(crcOf(e), crcOf(f));
}

// Contents are found by instance id in their document; their type id tells the kind.
TEST(RdkContent, LookupByInstanceId) {
    CRhinoDoc doc;
    const ON_UUID glassType = ON_UuidFromString(u"51b4af08-9dec-4744-86f9-546fbacb800d");
    const ON_UUID id = ON_CreateUuid();
    ASSERT_TRUE(doc.RdkDocument().AddContent(id, glassType, u"Glass"));
    EXPECT_FALSE(doc.RdkDocument().AddContent(id, glassType, u"Again"));
    EXPECT_FALSE(doc.RdkDocument().AddContent(ON_nil_uuid, glassType, u"Nil"));
    const CRhRdkContent* found = RhRdkFindContentInstance(&doc, id);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->TypeId(), glassType);
    EXPECT_EQ(CRhRdkDocument::Get(doc).FindContentInstance(ON_CreateUuid()), nullptr);
    EXPECT_EQ(RhRdkFindContentInstance(nullptr, id), nullptr);

    ON_Material m;
    m.SetRdkMaterialInstanceId(id);
    EXPECT_TRUE(m.RdkMaterialInstanceIdIsNotNil());
    EXPECT_EQ(RhRdkFindContentInstance(&doc, m.RdkMaterialInstanceId()), found);
}

// A material's embedded image is found by texture id, or by the file path it came from.
TEST(RdkContent, TextureBitmapLookup) {
    CRhinoDoc doc;
    ON_Bitmap image;
    ASSERT_TRUE(image.Create(3, -2, 24));
    image.SetId();
    image.m_file_reference.SetFullPath(u"C:\\maps\\Brick.bmp");
    const int bi = doc.m_bitmap_table.AddBitmap(image);
    ASSERT_EQ(bi, 0);
    EXPECT_EQ(doc.m_bitmap_table.Bitmap(0)->SizeofScan(), 12u);
    EXPECT_EQ(doc.m_bitmap_table.Bitmap(0)->SizeofImage(), 24u);

    ON_Material byId;
    ON_Texture t;
    t.m_texture_id = image.Id();
    byId.AddTexture(t);
    ON_Material byPath;
    ON_Texture p;
    p.m_image_file_reference.SetFullPath(u"c:/maps/brick.BMP");
    byPath.AddTexture(p);
    ON_Material none;
    none.AddTexture(ON_Texture());
    const int a = doc.m_material_table.AddMaterial(byId);
    const int b = doc.m_material_table.AddMaterial(byPath);
    const int c = doc.m_material_table.AddMaterial(none);
    EXPECT_EQ(doc.m_material_table[a].TextureBitmap(), doc.m_bitmap_table.Bitmap(0));
    EXPECT_EQ(doc.m_material_table[b].TextureBitmap(), doc.m_bitmap_table.Bitmap(0));
    EXPECT_EQ(doc.m_material_table[c].TextureBitmap(), nullptr);
    EXPECT_EQ(doc.m_material_table[a].TextureBitmap(ON_Texture::bump_texture), nullptr);
    EXPECT_EQ(doc.m_bitmap_table.Bitmap(0)->Height(), -2);
    EXPECT_NE(doc.m_bitmap_table.Bitmap(0)->Bits(1), nullptr);
    EXPECT_EQ(doc.m_bitmap_table.Bitmap(0)->Bits(2), nullptr);
}
