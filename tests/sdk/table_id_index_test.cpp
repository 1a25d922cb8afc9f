// The layer, texture-mapping and bitmap tables find an entry by id through an index
// of their own, as the material table does: an id stays with the entry it was given
// to (through modifications, deletion and undeletion), and an id added twice is
// given to the first entry only.

#include <gtest/gtest.h>

#include "sdk/rhino_sdk.h"

namespace {

ON_Layer layerNamed(const char16_t* name, const ON_UUID& id) {
    ON_Layer layer;
    layer.SetName(ON_wString(name));
    layer.SetId(id);
    return layer;
}

TEST(TableIdIndex, LayersKeepTheirIds) {
    CRhinoDoc doc;
    CRhinoLayerTable& table = doc.m_layer_table;
    const ON_UUID a = ON_CreateUuid(), b = ON_CreateUuid();
    const int first = table.AddLayer(layerNamed(u"A", a));
    const int second = table.AddLayer(layerNamed(u"B", b));
    ASSERT_GE(first, 0);
    ASSERT_GE(second, 0);
    // Modified with another's id, the entry keeps its own.
    ASSERT_TRUE(table.ModifyLayer(layerNamed(u"B2", a), second));
    EXPECT_EQ(table.FindLayerFromId(a), first);
    EXPECT_EQ(table.FindLayerFromId(b), second);
    // Added again, an id in use (even by a deleted entry) gives way to a new one.
    ASSERT_TRUE(table.DeleteLayer(second));
    EXPECT_EQ(table.FindLayerFromId(b), -1);
    EXPECT_EQ(table.FindLayerFromId(b, false), second);
    const int third = table.AddLayer(layerNamed(u"C", b));
    ASSERT_GE(third, 0);
    EXPECT_FALSE(table[third].Id() == b);
    EXPECT_EQ(table.FindLayerFromId(table[third].Id()), third);
    ASSERT_TRUE(table.UndeleteLayer(second));
    EXPECT_EQ(table.FindLayerFromId(b), second);
    EXPECT_EQ(table.FindLayerFromId(ON_nil_uuid, false), -1);
}

TEST(TableIdIndex, TextureMappingsKeepTheirIds) {
    CRhinoDoc doc;
    CRhinoTextureMappingTable& table = doc.m_texture_mapping_table;
    ON_TextureMapping planar;
    planar.SetPlaneMapping(ON_Plane::World_xy, ON_Interval(0, 4), ON_Interval(0, 4), ON_Interval(0, 1));
    const ON_UUID id = ON_CreateUuid();
    planar.SetId(id);
    const int first = table.AddTextureMapping(planar);
    const int second = table.AddTextureMapping(planar);
    ASSERT_GE(first, 0);
    ASSERT_GE(second, 0);
    EXPECT_FALSE(table[second].Id() == id);
    EXPECT_EQ(table.FindTextureMapping(id), first);
    EXPECT_EQ(table.FindTextureMapping(table[second].Id()), second);
    ASSERT_TRUE(table.ModifyTextureMapping(planar, second));
    EXPECT_EQ(table.FindTextureMapping(id), first);
    ASSERT_TRUE(table.DeleteTextureMapping(first));
    EXPECT_EQ(table.FindTextureMapping(id), -1);
    EXPECT_EQ(table.FindTextureMapping(id, false), first);
    ASSERT_TRUE(table.UndeleteTextureMapping(first));
    EXPECT_EQ(table.FindTextureMapping(id), first);
}

TEST(TableIdIndex, BitmapsKeepTheirIds) {
    CRhinoDoc doc;
    CRhinoBitmapTable& table = doc.m_bitmap_table;
    ON_Bitmap image;
    ASSERT_TRUE(image.Create(2, 2, 24));
    const ON_UUID id = ON_CreateUuid();
    image.SetId(id);
    const int first = table.AddBitmap(image);
    const int second = table.AddBitmap(image);
    ASSERT_GE(first, 0);
    ASSERT_GE(second, 0);
    EXPECT_FALSE(table.Bitmap(second)->Id() == id);
    ASSERT_TRUE(table.ReplaceBitmap(second, image));
    EXPECT_EQ(table.FindBitmapFromId(id), first);
    EXPECT_EQ(table.FindBitmapFromId(table.Bitmap(second)->Id()), second);
    EXPECT_EQ(table.FindBitmapFromId(ON_CreateUuid()), -1);
}

}  // namespace
