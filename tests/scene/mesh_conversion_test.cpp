// Mesh conversion where the end-to-end comparison cannot reach: bad geometry and its
// counts, singular placements. Axes and units, quads, orientation, open meshes, normal
// fallbacks and texture coordinates are checked byte for byte against the oracle in
// scene_sync_process_test.cpp.

#include "scene/mesh_conversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "scene/mesh_info.h"
#include "scene/renderer_matrix.h"
#include "sdk/geometry/on_mesh.h"

#include "scene_test_support.h"

using namespace vantro::scene;

namespace {

// The box from (0,0,0) to (1,2,3).
ON_Mesh box() { return vantro::test::boxMesh({0, 0, 0}, {1, 2, 3}); }

MeshInfo convert(const ON_Mesh& mesh, float scale = 1.0f, const TexCoordContext* ctx = nullptr,
                 MeshProblems* problems = nullptr) {
    MeshInfo mi;
    MeshProblems local;
    ConvertMesh(mesh, scale, ctx, mi, problems ? *problems : local);
    return mi;
}

}  // namespace

// Bad input: out-of-range faces and faces on non-finite vertices are left out and
// counted, non-finite numbers never reach the result, an unusable mesh gives nothing.
TEST(MeshConversion, BadGeometryIsLeftOutAndCounted) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    ON_Mesh mesh = vantro::test::triangleMesh();
    mesh.AppendVertex(ON_3dPoint(2, 2, 0));
    mesh.m_V.Append(ON_3fPoint(nan, 0, 0));  // vertex 4
    mesh.SetTriangle(1, 1, 3, 2);
    mesh.SetTriangle(2, 0, 1, 9);  // out of range
    mesh.SetQuad(3, 0, -1, 2, 3);  // negative index
    mesh.SetTriangle(4, 4, 1, 2);  // on the NaN vertex
    for (int i = 0; i < 5; ++i)
        mesh.SetVertexNormal(i, ON_3dVector(0, 0, i == 1 ? NAN : 0));
    MeshProblems problems;
    const MeshInfo mi = convert(mesh, 1.0f, nullptr, &problems);
    EXPECT_EQ(mi.indices, (std::vector<uint32_t>{0, 1, 2, 1, 3, 2}));
    EXPECT_EQ(problems.facesOutOfRange, 2u);
    EXPECT_EQ(problems.facesOnBadVertices, 1u);
    EXPECT_EQ(problems.badVertices, 1u);
    EXPECT_EQ(problems.badNormals, 1u);
    for (float v : mi.positions)
        EXPECT_TRUE(std::isfinite(v));
    for (float v : mi.normals)
        EXPECT_TRUE(std::isfinite(v));
    EXPECT_NE(problems.Describe().find(u"2 faces with vertex indices out of range"), std::u16string::npos);

    MeshProblems none;
    ON_Mesh empty;
    MeshInfo untouched;
    EXPECT_FALSE(ConvertMesh(empty, 1.0f, nullptr, untouched, none));
    ON_Mesh allBad = vantro::test::triangleMesh();
    allBad.SetTriangle(0, 0, 1, 7);
    EXPECT_FALSE(ConvertMesh(allBad, 1.0f, nullptr, untouched, none));
    EXPECT_EQ(none.emptyMeshes, 2u);
    EXPECT_EQ(untouched.vertexCount, 0u);
    EXPECT_TRUE(untouched.positions.empty());
}

// A singular placement zeroes the normals. (Regular placements, normals moved by the
// inverse transpose, are compared with the oracle.)
TEST(MeshConversion, SingularPlacementsZeroTheNormals) {
    MeshInfo mi = convert(box());
    const ON_Xform flat = ON_Xform::DiagonalTransformation(1, 1, 0);
    const RendererMatrix f = ToRendererMatrix(&flat, 1.0f);
    EXPECT_FALSE(TransformMeshInfo(&mi, &f));
    EXPECT_EQ(mi.normals, std::vector<float>(24, 0.0f));
    EXPECT_EQ(mi.positions[3 * 7 + 1], 0.0f);  // document z, flattened, is renderer y
}
