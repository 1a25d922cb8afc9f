// ON_Mesh: transformation (mirrors keep solids facing out), and the cached closedness
// and solid orientation seeing every change, in copies too, and concurrent first
// questions.

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "sdk_test_support.h"

using namespace vantro::sdktest;

namespace {

// The same box with 24 vertices (4 per face, as meshes split for normals and texture
// seams), as triangles.
ON_Mesh splitBox() {
    const ON_Mesh shared = boxMesh(0, 0, 0, 2, 3, 4);
    ON_Mesh m;
    for (const ON_MeshFace& f : shared.m_F) {
        const int base = m.VertexCount();
        for (int k = 0; k < 4; ++k)
            m.m_V.Append(shared.m_V[f.vi[k]]);
        m.SetTriangle(m.FaceCount(), base, base + 1, base + 2);
        m.SetTriangle(m.FaceCount(), base, base + 2, base + 3);
    }
    return m;
}

ON_Mesh flipped(ON_Mesh m) {
    for (ON_MeshFace& f : m.m_F) {
        if (f.IsQuad())
            std::swap(f.vi[1], f.vi[3]);
        else {
            std::swap(f.vi[1], f.vi[2]);
            f.vi[3] = f.vi[2];
        }
    }
    return m;
}

}  // namespace

// Transforming moves vertices, turns normals with the inverse transpose, and a mirror
// keeps the solid's outward orientation.
TEST(OnMesh, TransformAndMirror) {
    ON_Mesh box = boxMesh(0, 0, 0, 1, 1, 1);
    ASSERT_TRUE(box.Transform(ON_Xform::DiagonalTransformation(2, 1, 1)));
    EXPECT_EQ(box.m_V[7], ON_3fPoint(2, 1, 1));
    EXPECT_EQ(box.SolidOrientation(), 1);
    ASSERT_TRUE(box.Transform(ON_Xform::DiagonalTransformation(-1, 1, 1)));
    EXPECT_EQ(box.m_V[7], ON_3fPoint(-2, 1, 1));
    EXPECT_EQ(box.SolidOrientation(), 1);
    // Vertex 7 is the (+x,+y,+z) corner before the mirror; its normal now points to -x.
    EXPECT_LT(box.m_N[7].x, 0.0f);
    EXPECT_FALSE(box.Transform(ON_Xform::ZeroTransformation));
}

// The answers follow every change made after a question, whichever way it is made:
// the arrays edited directly, the builders, and whole-mesh assignment.
TEST(OnMesh, AnswersFollowChangesAfterAQuestion) {
    ON_Mesh box = splitBox();
    ASSERT_EQ(box.SolidOrientation(), 1);
    box.m_F.Remove(3);  // a hole, made through the array itself
    EXPECT_FALSE(box.IsClosed());
    EXPECT_EQ(box.SolidOrientation(), 0);

    box = splitBox();
    ASSERT_TRUE(box.IsClosed());
    box = flipped(box);  // assignment, same counts, other winding
    EXPECT_EQ(box.SolidOrientation(), -1);
    for (ON_MeshFace& f : box.m_F)
        std::swap(f.vi[0], f.vi[1]);  // back, in place
    EXPECT_EQ(box.SolidOrientation(), 1);

    // A split corner moved off its twins opens the solid; moved back, it closes again.
    const ON_3dPoint corner(box.m_V[0]);
    ASSERT_TRUE(box.SetVertex(0, ON_3dPoint(corner.x, corner.y, corner.z + 0.5)));
    EXPECT_FALSE(box.IsClosed());
    ASSERT_TRUE(box.SetVertex(0, corner));
    EXPECT_TRUE(box.IsClosed());
    EXPECT_EQ(box.SolidOrientation(), 1);

    ON_Mesh tri = triangleMesh();
    EXPECT_FALSE(tri.IsClosed());
    tri.AppendVertex({0, 0, 1});
    tri.SetTriangle(0, 0, 2, 1);
    tri.SetTriangle(1, 0, 1, 3);
    tri.SetTriangle(2, 0, 3, 2);
    tri.SetTriangle(3, 1, 2, 3);  // completes a tetrahedron through the builders
    EXPECT_TRUE(tri.IsClosed());
    EXPECT_EQ(tri.SolidOrientation(), 1);
}

// A copy answers for its own arrays: changing it leaves the original's answers alone.
TEST(OnMesh, CopiesAnswerForThemselves) {
    const ON_Mesh box = boxMesh(0, 0, 0, 1, 1, 1);
    ASSERT_EQ(box.SolidOrientation(), 1);
    ON_Mesh copy = box;
    EXPECT_EQ(copy.SolidOrientation(), 1);
    copy.m_F.Remove(0);
    EXPECT_FALSE(copy.IsClosed());
    EXPECT_TRUE(box.IsClosed());
    EXPECT_EQ(box.SolidOrientation(), 1);
}

// Const questions from several threads at once on one mesh (the first ones filling the
// cache together) all get the right answers.
TEST(OnMesh, ConcurrentQuestions) {
    const ON_Mesh box = splitBox();
    std::vector<int> answers(8, -2);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < answers.size(); ++t)
        threads.emplace_back([&, t] {
            int sum = 0;
            for (int i = 0; i < 200; ++i)
                sum += box.SolidOrientation() + (box.IsClosed() ? 1 : 0);
            answers[t] = sum;
        });
    for (std::thread& t : threads)
        t.join();
    for (int a : answers)
        EXPECT_EQ(a, 400);
}
