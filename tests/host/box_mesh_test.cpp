// Boxes: closed, outward-facing, the same whichever corners are given.

#include "box_mesh.h"

#include <gtest/gtest.h>

namespace vantro::host {
namespace {

// The whole box is a closed solid with outward normals and per-side coordinates.
TEST(BoxMesh, IsAClosedOutwardSolid) {
    const ON_Mesh mesh = boxMesh(ON_3dPoint(0, 0, 0), ON_3dPoint(1, 2, 3));
    EXPECT_EQ(mesh.VertexCount(), 24);
    EXPECT_EQ(mesh.QuadCount(), 6);
    EXPECT_TRUE(mesh.IsValid());
    EXPECT_TRUE(mesh.IsClosed());
    EXPECT_EQ(mesh.SolidOrientation(), 1);
    EXPECT_TRUE(mesh.HasVertexNormals());
    EXPECT_TRUE(mesh.HasTextureCoordinates());
    // Each vertex normal points away from the box centre.
    const ON_3dPoint centre(0.5, 1, 1.5);
    for (int i = 0; i < mesh.VertexCount(); ++i) {
        const ON_3dVector out = ON_3dPoint(mesh.m_V[i]) - centre;
        EXPECT_GT(out * ON_3dVector(mesh.m_N[i]), 0.0) << i;
    }
}

// Corners in any order give the same box.
TEST(BoxMesh, CornerOrderDoesNotMatter) {
    const ON_Mesh a = boxMesh(ON_3dPoint(0, 0, 0), ON_3dPoint(1, 2, 3));
    const ON_Mesh b = boxMesh(ON_3dPoint(1, 0, 3), ON_3dPoint(0, 2, 0));
    EXPECT_EQ(a.m_V, b.m_V);
    EXPECT_EQ(a.m_F, b.m_F);
}

// The brep form is one single-quad mesh per side; together they cover the box.
TEST(BoxMesh, SidesAreOneMeshEach) {
    const auto sides = boxSideMeshes(ON_3dPoint(-1, -1, -1), ON_3dPoint(1, 1, 1));
    ASSERT_EQ(sides.size(), 6u);
    int facing[3][2] = {};
    for (const auto& side : sides) {
        ASSERT_EQ(side->FaceCount(), 1);
        ASSERT_TRUE(side->HasFaceNormals());
        const ON_3fVector n = side->m_FN[0];
        const float c[3] = {n.x, n.y, n.z};
        for (int axis = 0; axis < 3; ++axis)
            if (c[axis] != 0.0f)
                ++facing[axis][c[axis] > 0 ? 1 : 0];
    }
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_EQ(facing[axis][0], 1) << axis;
        EXPECT_EQ(facing[axis][1], 1) << axis;
    }
}

}  // namespace
}  // namespace vantro::host
