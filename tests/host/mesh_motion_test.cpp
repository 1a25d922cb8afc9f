// Telling a moved object from a reshaped one by its meshes.

#include <gtest/gtest.h>

#include <cmath>

#include "box_mesh.h"
#include "mesh_motion.h"
#include "sdk/geometry/on_mesh.h"

namespace {

using vantro::host::findMeshMotion;

ON_Mesh box() { return vantro::host::boxMesh(ON_3dPoint(0, 0, 0), ON_3dPoint(10, 4, 2)); }

ON_Mesh moved(ON_Mesh mesh, const ON_Xform& xform) {
    mesh.Transform(xform);
    return mesh;
}

// A flat mesh: one quad in the xy plane.
ON_Mesh square() {
    ON_Mesh mesh;
    mesh.AppendVertex({0, 0, 0});
    mesh.AppendVertex({3, 0, 0});
    mesh.AppendVertex({3, 3, 0});
    mesh.AppendVertex({0, 3, 0});
    mesh.m_F.Append(ON_MeshFace{{0, 1, 2, 3}});
    return mesh;
}

void expectNear(const ON_Xform& a, const ON_Xform& b) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(a[r][c], b[r][c], 1e-5) << r << "," << c;
}

// Rotations, translations and uniform scaling are found, also for several meshes.
TEST(MeshMotion, FindsTheMapThatCarriesEveryVertex) {
    const ON_Xform x = ON_Xform::TranslationTransformation(100, -20, 3) *
                       ON_Xform::RotationTransformation(0.7, ON_3dVector(0, 0, 1), ON_3dPoint(5, 5, 0));
    const ON_Mesh a = box(), b = moved(box(), x);
    const auto found = findMeshMotion({&a}, {&b});
    ASSERT_TRUE(found);
    expectNear(*found, x);
    const ON_Mesh c = square(), d = moved(square(), ON_Xform::ScaleTransformation(ON_3dPoint(1, 1, 1), 2.5));
    const auto both = findMeshMotion({&a, &c}, {&b, &d});
    EXPECT_FALSE(both) << "one map must carry both meshes";
    const ON_Mesh e = moved(square(), x);
    EXPECT_TRUE(findMeshMotion({&a, &c}, {&b, &e}));
}

// Rotations, reflections and uniform scaling keep shapes; stretching does not.
TEST(MeshMotion, OnlyShapeKeepingMapsAreMoves) {
    using vantro::host::keepsShape;
    EXPECT_TRUE(keepsShape(ON_Xform::RotationTransformation(0.3, ON_3dVector(1, 2, 3), ON_3dPoint(4, 5, 6))));
    EXPECT_TRUE(keepsShape(ON_Xform::ScaleTransformation(ON_3dPoint(1, 0, 0), 1000.0)));
    EXPECT_TRUE(keepsShape(ON_Xform::DiagonalTransformation(-1, 1, 1)));
    EXPECT_FALSE(keepsShape(ON_Xform::DiagonalTransformation(1.1, 1, 1)));
    ON_Xform shear = ON_Xform::IdentityTransformation;
    shear[0][1] = 0.2;
    EXPECT_FALSE(keepsShape(shear));
    EXPECT_FALSE(keepsShape(ON_Xform::ZeroTransformation));
    // A box stretched along x is still an affine image of itself: found, but no move.
    const ON_Mesh a = box(), b = moved(box(), ON_Xform::DiagonalTransformation(1.1, 1, 1));
    const auto stretched = findMeshMotion({&a}, {&b});
    ASSERT_TRUE(stretched);
    EXPECT_FALSE(keepsShape(*stretched));
}

// A flat mesh moved out of its plane is still a move.
TEST(MeshMotion, AFlatMeshMovesToo) {
    const ON_Xform x = ON_Xform::RotationTransformation(1.1, ON_3dVector(1, 0, 0), ON_3dPoint(0, 0, 0));
    const ON_Mesh a = square(), b = moved(square(), x);
    const auto found = findMeshMotion({&a}, {&b});
    ASSERT_TRUE(found);
    expectNear(*found, x);
}

// One vertex off, other faces, other counts or nothing to measure: not a move.
TEST(MeshMotion, AnyOtherChangeIsNoMotion) {
    const ON_Mesh a = box();
    ON_Mesh b = moved(box(), ON_Xform::TranslationTransformation(1, 0, 0));
    b.m_V[3].z += 0.01f;
    EXPECT_FALSE(findMeshMotion({&a}, {&b}));
    ON_Mesh c = a;
    std::swap(c.m_F[0].vi[0], c.m_F[0].vi[1]);
    EXPECT_FALSE(findMeshMotion({&a}, {&c}));
    EXPECT_FALSE(findMeshMotion({&a}, {&a, &a}));
    EXPECT_FALSE(findMeshMotion({}, {}));
    ON_Mesh line;
    line.AppendVertex({0, 0, 0});
    line.AppendVertex({1, 0, 0});
    line.AppendVertex({2, 0, 0});
    EXPECT_FALSE(findMeshMotion({&line}, {&line})) << "points on a line fix no map";
}

}  // namespace
