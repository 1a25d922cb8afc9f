// Mesh conversion: axes and units, orientation, quads, normal sources, texture
// coordinates of channel 0, and what bad meshes leave behind.

#include "scene/mesh_conversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "scene/mesh_info.h"
#include "scene/renderer_matrix.h"
#include "scene/tex_coord_context.h"
#include "sdk/on_mesh.h"
#include "sdk/rhino_doc.h"

#include "scene_test_support.h"

namespace {

// The box from (0,0,0) to (1,2,3), outward or inward.
ON_Mesh box(bool inward = false) { return vantro::test::boxMesh({0, 0, 0}, {1, 2, 3}, inward); }

MeshInfo convert(const ON_Mesh& mesh, float scale = 1.0f, const TexCoordContext* ctx = nullptr,
                 MeshProblems* problems = nullptr) {
    MeshInfo mi;
    MeshProblems local;
    ConvertMesh(mesh, scale, ctx, mi, problems ? *problems : local);
    return mi;
}

}  // namespace

// Millimetres: positions scaled by 0.001 with y and z exchanged; a closed box is
// one-sided.
TEST(MeshConversion, AxisSwapAndUnitScale) {
    const MeshInfo mi = convert(box(), 0.001f);
    ASSERT_EQ(mi.vertexCount, 8u);
    EXPECT_EQ(mi.indexCount, 36u);
    EXPECT_FALSE(mi.twoSided);
    // vertex 7 is the document's (1, 2, 3)
    EXPECT_EQ(mi.positions[21], 1.0f * 0.001f);
    EXPECT_EQ(mi.positions[22], 3.0f * 0.001f);
    EXPECT_EQ(mi.positions[23], 2.0f * 0.001f);
    // its vertex normal (x, y, z) is sent as (x, z, y), unscaled
    const ON_Mesh source = box();
    EXPECT_EQ(mi.normals[21], source.m_N[7].x);
    EXPECT_EQ(mi.normals[22], source.m_N[7].z);
    EXPECT_EQ(mi.normals[23], source.m_N[7].y);
}

// Quads split into (a, b, c), (a, c, d); an inward closed mesh is reversed ((c, b, a),
// (d, c, a)) and its normals negated.
TEST(MeshConversion, QuadsAndOrientation) {
    const ON_Mesh outward = box(), inward = box(true);
    const MeshInfo out = convert(outward), in = convert(inward);
    const ON_MeshFace& f = outward.m_F[0];
    const std::vector<uint32_t> first(out.indices.begin(), out.indices.begin() + 6);
    EXPECT_EQ(first, (std::vector<uint32_t>{uint32_t(f.vi[0]), uint32_t(f.vi[1]), uint32_t(f.vi[2]),
                                             uint32_t(f.vi[0]), uint32_t(f.vi[2]), uint32_t(f.vi[3])}));
    const ON_MeshFace& g = inward.m_F[0];
    const std::vector<uint32_t> flipped(in.indices.begin(), in.indices.begin() + 6);
    EXPECT_EQ(flipped, (std::vector<uint32_t>{uint32_t(g.vi[2]), uint32_t(g.vi[1]), uint32_t(g.vi[0]),
                                               uint32_t(g.vi[3]), uint32_t(g.vi[2]), uint32_t(g.vi[0])}));
    EXPECT_EQ(in.normals[0], -inward.m_N[0].x);
    EXPECT_EQ(in.normals[1], -inward.m_N[0].z);
    EXPECT_FALSE(in.twoSided);
}

// An open mesh is two-sided; a triangle stored with c = d gives one triangle.
TEST(MeshConversion, OpenMeshesAndTriangles) {
    const MeshInfo mi = convert(vantro::test::triangleMesh());
    EXPECT_TRUE(mi.twoSided);
    EXPECT_EQ(mi.indices, (std::vector<uint32_t>{0, 1, 2}));
    EXPECT_EQ(mi.normals, std::vector<float>(9, 0.0f));  // no normals at all
}

// Vertex normals of the wrong count fall back to face normals (last face wins at a
// shared corner; unused vertices get zero); without either, normals are zero.
TEST(MeshConversion, NormalFallbacks) {
    ON_Mesh mesh;
    for (int i = 0; i < 5; ++i) mesh.AppendVertex(ON_3dPoint(i, i * i, 0));
    mesh.SetTriangle(0, 0, 1, 2);
    mesh.SetTriangle(1, 2, 3, 0);
    mesh.m_N.Append(ON_3fVector(9, 9, 9));  // one normal for five vertices: unusable
    mesh.m_FN.Append(ON_3fVector(1, 0, 0));
    mesh.m_FN.Append(ON_3fVector(0, 0, 1));
    const MeshInfo mi = convert(mesh);
    auto normal = [&](int v) { return std::vector<float>(mi.normals.begin() + 3 * v, mi.normals.begin() + 3 * v + 3); };
    EXPECT_EQ(normal(1), (std::vector<float>{1, 0, 0}));
    EXPECT_EQ(normal(0), (std::vector<float>{0, 1, 0}));  // (0,0,1) swapped: face 1 overwrote face 0
    EXPECT_EQ(normal(4), (std::vector<float>{0, 0, 0}));  // used by no face
}

// Channel 0 reads the mesh's own coordinates with v flipped; a mesh without them gives
// (0, 1) everywhere.
TEST(MeshConversion, OwnTextureCoordinates) {
    CRhinoDoc doc;
    TexCoordContext ctx(&doc);
    ON_Mesh mesh = vantro::test::triangleMesh();
    mesh.SetTextureCoord(0, 0.25, 0.75);
    mesh.SetTextureCoord(1, 1.0, 0.0);
    mesh.SetTextureCoord(2, 0.5, 0.5);
    ctx.PrepareMesh(&mesh);
    const MeshInfo mi = convert(mesh, 1.0f, &ctx);
    EXPECT_EQ(mi.uvs, (std::vector<float>{0.25f, 0.25f, 1.0f, 1.0f, 0.5f, 0.5f}));
    const ON_Mesh plain = vantro::test::triangleMesh();
    ctx.PrepareMesh(&plain);
    EXPECT_EQ(convert(plain, 1.0f, &ctx).uvs, (std::vector<float>{0, 1, 0, 1, 0, 1}));
}

// Bad input: out-of-range faces and faces on non-finite vertices are left out and
// counted, non-finite numbers never reach the result, an unusable mesh gives nothing.
TEST(MeshConversion, BadGeometryIsLeftOutAndCounted) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    ON_Mesh mesh = vantro::test::triangleMesh();
    mesh.AppendVertex(ON_3dPoint(2, 2, 0));
    mesh.m_V.Append(ON_3fPoint(nan, 0, 0));          // vertex 4
    mesh.SetTriangle(1, 1, 3, 2);
    mesh.SetTriangle(2, 0, 1, 9);                    // out of range
    mesh.SetQuad(3, 0, -1, 2, 3);                    // negative index
    mesh.SetTriangle(4, 4, 1, 2);                    // on the NaN vertex
    for (int i = 0; i < 5; ++i) mesh.SetVertexNormal(i, ON_3dVector(0, 0, i == 1 ? NAN : 0));
    MeshProblems problems;
    const MeshInfo mi = convert(mesh, 1.0f, nullptr, &problems);
    EXPECT_EQ(mi.indices, (std::vector<uint32_t>{0, 1, 2, 1, 3, 2}));
    EXPECT_EQ(problems.facesOutOfRange, 2u);
    EXPECT_EQ(problems.facesOnBadVertices, 1u);
    EXPECT_EQ(problems.badVertices, 1u);
    EXPECT_EQ(problems.badNormals, 1u);
    for (float v : mi.positions) EXPECT_TRUE(std::isfinite(v));
    for (float v : mi.normals) EXPECT_TRUE(std::isfinite(v));
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

// A placement moves positions by (p, 1) x M and normals by the inverse transpose;
// a singular placement zeroes the normals.
TEST(MeshConversion, TransformBakesPlacements) {
    MeshInfo mi = convert(box());
    const MeshInfo before = mi;
    const ON_Xform x = ON_Xform::TranslationTransformation(10, 20, 30) * ON_Xform::DiagonalTransformation(2, 2, 2);
    const RendererMatrix m = ToRendererMatrix(&x, 1.0f);
    ASSERT_TRUE(TransformMeshInfo(&mi, &m));
    for (size_t v = 0; v < 8; ++v) {
        EXPECT_EQ(mi.positions[3 * v + 0], before.positions[3 * v + 0] * 2 + 10);
        EXPECT_EQ(mi.positions[3 * v + 1], before.positions[3 * v + 1] * 2 + 30);
        EXPECT_EQ(mi.positions[3 * v + 2], before.positions[3 * v + 2] * 2 + 20);
        EXPECT_EQ(mi.normals[3 * v], before.normals[3 * v] * 0.5f);  // not renormalised
    }
    const ON_Xform flat = ON_Xform::DiagonalTransformation(1, 1, 0);
    const RendererMatrix f = ToRendererMatrix(&flat, 1.0f);
    EXPECT_FALSE(TransformMeshInfo(&mi, &f));
    EXPECT_EQ(mi.normals, std::vector<float>(24, 0.0f));
}
