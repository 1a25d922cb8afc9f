// TexCoordContext: which coordinates each texture channel gives, when the texture
// transform applies, and the flipped v.

#include "scene/tex_coord_context.h"

#include <gtest/gtest.h>

#include "materials/material_info.h"
#include "scene_test_support.h"
#include "sdk/render/rdk_texture.h"
#include "sdk/app/rhino_app.h"

using namespace vantro::test;

namespace {

class TexCoordTest : public ::testing::Test {
protected:
    TexCoordTest() {
        addLayer(doc, u"Default");
        mesh = gridMesh(1, 2.0, 0.5);  // 4 vertices, own coordinates (i, j)
        textured.texturePath = u"/textures/wood.png";
        // scale u by 2, move v by 0.25
        textured.textureTransform = {2, 0, 0, 0, 0, 1, 0, 0.25, 0, 0, 1, 0, 0, 0, 0, 1};
    }
    // An object whose mapping channel 3 names a planar mapping of the document.
    CRhinoObject* mappedObject() {
        ON_TextureMapping mapping;
        mapping.SetPlaneMapping(ON_Plane(), ON_Interval(0, 4), ON_Interval(0, 4), ON_Interval(-1, 1));
        const int index = doc.m_texture_mapping_table.AddTextureMapping(mapping);
        ON_3dmObjectAttributes a = attributesOn(0);
        a.m_rendering_attributes.AddMappingChannel(RhinoApp().GetDefaultRenderApp(), 3,
                                                   doc.m_texture_mapping_table[index].Id());
        return addMeshObject(doc, mesh, a);
    }
    ON_2fPoint at(const TexCoordContext& ctx, int i) {
        const ON_3fPoint p = mesh.m_V[i];
        const ON_3fVector n(0, 0, 1);
        return ctx.TexCoordAt(i, &p, &n);
    }

    CRhinoDoc doc;
    ON_Mesh mesh;
    MaterialInfo textured;
};

}  // namespace

// Channel 0: the mesh's own coordinates, v flipped, the transform ignored.
TEST_F(TexCoordTest, ChannelZeroUsesOwnCoordinatesWithoutTransform) {
    CRhinoObject* object = addMeshObject(doc, mesh, attributesOn(0));
    textured.textureChannel = 0;
    TexCoordContext ctx(&doc);
    ctx.SetMaterial(object, &textured);
    ctx.PrepareMesh(&mesh);
    EXPECT_TRUE(ctx.UsesOwnCoordinates());
    EXPECT_EQ(at(ctx, 3), ON_2fPoint(1.0f, 0.0f));
    EXPECT_EQ(at(ctx, 1), ON_2fPoint(1.0f, 1.0f));
    EXPECT_EQ(ctx.transform, ON_Xform());
}

// -14 projects the document position through the transform; -13 the world box
// mapping of position and normal.
TEST_F(TexCoordTest, WorldProjections) {
    CRhinoObject* object = addMeshObject(doc, mesh, attributesOn(0));
    textured.textureChannel = uint32_t(TexCoordContext::kWorldProjection);
    TexCoordContext ctx(&doc);
    ctx.SetMaterial(object, &textured);
    ctx.PrepareMesh(&mesh);
    EXPECT_EQ(at(ctx, 3), ON_2fPoint(2.0f * 2.0f, float(1.0 - (2.0 + 0.25))));  // vertex (2, 2, 0.5)
    textured.textureChannel = uint32_t(TexCoordContext::kWorldBoxProjection);
    ctx.SetMaterial(object, &textured);
    ctx.PrepareMesh(&mesh);
    const ON_2dPoint box = CRhRdkTexture::WcsBoxMapping(ON_3dPoint(2, 0, 0.5), ON_3dVector(0, 0, 1));
    EXPECT_EQ(at(ctx, 1), ON_2fPoint(float(box.x * 2.0), float(1.0 - (box.y + 0.25))));
    // without a position, nothing to project: (0, 1)
    EXPECT_EQ(ctx.TexCoordAt(1, nullptr, nullptr), ON_2fPoint(0.0f, 1.0f));
}

// A mapped channel uses the coordinates the document caches for the object's mapping;
// an object without that channel falls back to the mesh's own, through the transform.
TEST_F(TexCoordTest, MappedChannelsUseCachedCoordinates) {
    CRhinoObject* object = mappedObject();
    textured.textureChannel = 3;
    TexCoordContext ctx(&doc);
    ctx.SetMaterial(object, &textured);
    ASSERT_NE(ctx.mappingChannel, nullptr);
    ctx.PrepareMesh(&mesh);
    ASSERT_NE(ctx.cached, nullptr);
    ON_SimpleArray<ON_3fPoint> expected;
    ASSERT_TRUE(doc.m_texture_mapping_table[0].GetTextureCoordinates(mesh, expected));
    for (int i = 0; i < 4; ++i) {
        const ON_3dPoint q = ctx.transform * ON_3dPoint(expected[i]);
        EXPECT_EQ(at(ctx, i), ON_2fPoint(float(q.x), float(1.0 - q.y))) << i;
    }
    CRhinoObject* plain = addMeshObject(doc, mesh, attributesOn(0));
    ctx.SetMaterial(plain, &textured);
    ctx.PrepareMesh(&mesh);
    EXPECT_EQ(ctx.cached, nullptr);
    EXPECT_EQ(at(ctx, 1), ON_2fPoint(2.0f, float(1.0 - 0.25)));  // own (1, 0) through the transform
}

// A material without texture keeps its channel but no mapping and no transform; a
// vertex beyond the coordinates gets (0, 1).
TEST_F(TexCoordTest, UntexturedMaterialsAndMissingCoordinates) {
    CRhinoObject* object = mappedObject();
    MaterialInfo plain;
    plain.textureChannel = 3;
    TexCoordContext ctx(&doc);
    ctx.SetMaterial(object, &plain);
    EXPECT_EQ(ctx.channel, 3);
    EXPECT_EQ(ctx.mappingChannel, nullptr);
    ctx.PrepareMesh(&mesh);
    EXPECT_EQ(at(ctx, 2), ON_2fPoint(0.0f, 0.0f));  // own (0, 1), identity
    EXPECT_EQ(ctx.TexCoordAt(99, nullptr, nullptr), ON_2fPoint(0.0f, 1.0f));
    ctx.PrepareMesh(nullptr);
    EXPECT_FALSE(ctx.enabled);
}
