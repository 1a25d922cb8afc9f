// Box, sphere and cylinder mappings, and a channel's coordinates following a moved
// object (planar mapping and world projections: rh_scene_test.cpp).

#include <gtest/gtest.h>

#include <cmath>

#include "sdk_test_support.h"

using namespace vantro::sdktest;

namespace {

// m at p (with normal n) must give `want`.
void expectMaps(const ON_TextureMapping& m, const ON_3dPoint& p, const ON_3dVector& n, const ON_3dPoint& want) {
    ON_3dPoint t(-1, -1, -1);
    EXPECT_EQ(m.Evaluate(p, n, &t), 1);
    EXPECT_LT(t.DistanceTo(want), 1e-9) << p.x << " " << p.y << " " << p.z;
}

}  // namespace

// A box mapping picks the side by the normal (the nearest without one) and orients it
// as seen from outside; spherical mapping gives longitude and latitude, cylindrical
// angle and height, with caps.
TEST(TextureMapping, BoxSphereAndCylinder) {
    ON_TextureMapping m;
    ASSERT_TRUE(m.SetBoxMapping(ON_Plane::World_xy, ON_Interval(0, 1), ON_Interval(0, 1), ON_Interval(0, 1), false));
    expectMaps(m, {0.25, 0.5, 1}, {0, 0, 1}, {0.25, 0.5, 0});     // top
    expectMaps(m, {0.25, 0.5, 0}, {0, 0, -1}, {0.25, 0.5, 0});    // bottom: v flipped
    expectMaps(m, {1, 0.25, 0.75}, {1, 0, 0}, {0.25, 0.75, 0});   // +x
    expectMaps(m, {0, 0.25, 0.75}, {-1, 0, 0}, {0.75, 0.75, 0});  // -x
    expectMaps(m, {0.25, 0.5, 0.999}, {}, {0.25, 0.5, 0.001});
    m.m_texture_space = ON_TextureMapping::TEXTURE_SPACE::divided;
    expectMaps(m, {1, 0.25, 0.75}, {1, 0, 0}, {(1 + 0.25) / 6.0, 0.75, 0});

    ON_TextureMapping s;
    ASSERT_TRUE(s.SetSphereMapping(ON_3dPoint(0, 0, 5), 2));
    expectMaps(s, {0, 2, 5}, {}, {0.25, 0.5, 1});
    expectMaps(s, {0, 0, 7}, {}, {0, 1, 1});
    ON_TextureMapping c;
    ASSERT_TRUE(c.SetCylinderMapping(ON_Plane::World_xy, 1, 10, true));
    expectMaps(c, {-1, 0, 5}, {-1, 0, 0}, {0.5, 0.5, 1});
    expectMaps(c, {0.5, 0, 10}, {0, 0, 1}, {0.75, 0.5, 1});  // cap
}

// The table computes coordinates for a channel on a mesh; a moved object keeps its
// texture in place; a deleted mapping gives none.
TEST(TextureMapping, CoordinatesFollowTheObject) {
    CRhinoDoc* doc = RhinoApp().NewDocument();
    ON_TextureMapping planar;
    planar.SetPlaneMapping(ON_Plane::World_xy, ON_Interval(0, 4), ON_Interval(0, 4), ON_Interval(0, 1));
    const int mi = doc->m_texture_mapping_table.AddTextureMapping(planar);
    ON_MappingChannel channel;
    channel.m_mapping_channel_id = 1;
    channel.m_mapping_id = doc->m_texture_mapping_table[mi].Id();
    ON_Mesh mesh = triangleMesh();
    const ON_TextureCoordinates* tc = doc->m_texture_mapping_table.CachedTextureCoordinates(&channel, &mesh);
    ASSERT_NE(tc, nullptr);
    EXPECT_EQ(tc->m_T[1], ON_3fPoint(0.25f, 0, 0));

    // Moved by +1 in x, the object's channel records the move, so the moved vertex
    // (2,0,0) gets the coordinate the original (1,0,0) had.
    ON_3dmObjectAttributes a;
    a.m_rendering_attributes.AddMappingChannel(RhinoApp().GetDefaultRenderApp(), 1, channel.m_mapping_id);
    CRhinoObject* object = doc->AddMeshObject(triangleMesh(), &a);
    CRhinoObject* moved = doc->TransformObject(object, ON_Xform::TranslationTransformation(1, 0, 0));
    const ON_MappingChannel* movedChannel =
        moved->Attributes().m_rendering_attributes.MappingRef(RhinoApp().GetDefaultRenderApp())->MappingChannel(1);
    ON_Mesh movedMesh = *CRhinoMeshObject::Cast(moved)->Mesh();
    tc = doc->m_texture_mapping_table.CachedTextureCoordinates(movedChannel, &movedMesh);
    ASSERT_NE(tc, nullptr);
    EXPECT_EQ(movedMesh.m_V[1], ON_3fPoint(2, 0, 0));
    EXPECT_EQ(tc->m_T[1], ON_3fPoint(0.25f, 0, 0));

    doc->m_texture_mapping_table.DeleteTextureMapping(mi);
    ON_Mesh fresh = triangleMesh();
    EXPECT_EQ(doc->m_texture_mapping_table.CachedTextureCoordinates(&channel, &fresh), nullptr);
    RhinoApp().CloseDocument();
}
