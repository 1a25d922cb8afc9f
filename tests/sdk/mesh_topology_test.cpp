// The one-pass edge analysis against a plain reference on thousands of damaged solids
// (the scene flips solids by it), and ON_Mesh's cached answers following changes.

#include "sdk/geometry/mesh_topology.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <tuple>

#include "sdk_test_support.h"

using namespace vantro::sdk;
using namespace vantro::sdktest;

namespace {

MeshTopologySummary analyse(const ON_Mesh& m) {
    return analyseMeshTopology({m.m_V.Array(), size_t(m.m_V.Count())}, {m.m_F.Array(), size_t(m.m_F.Count())});
}

// The rules written out the slow, obvious way.
MeshTopologySummary reference(const ON_Mesh& m) {
    const int n = m.VertexCount();
    if (m.FaceCount() == 0)
        return {};
    for (const ON_MeshFace& f : m.m_F)
        for (int k = 0; k < (f.IsQuad() ? 4 : 3); ++k)
            if (f.vi[k] < 0 || f.vi[k] >= n)
                return {};
    std::map<std::tuple<float, float, float>, int> first;
    std::vector<int> topo;
    for (const ON_3fPoint& p : m.m_V)  // as numbers, so +0 and -0 are one; the models hold no NaN
        topo.push_back(first.emplace(std::make_tuple(p.x, p.y, p.z), int(topo.size())).first->second);
    std::map<std::pair<int, int>, std::pair<int, int>> edges;  // (low, high) -> (uses, forward uses)
    for (const ON_MeshFace& f : m.m_F) {
        const int corners = f.IsQuad() ? 4 : 3;
        for (int k = 0; k < corners; ++k) {
            const int a = topo[size_t(f.vi[k])], b = topo[size_t(f.vi[(k + 1) % corners])];
            if (a == b)
                continue;
            auto& use = edges[{std::min(a, b), std::max(a, b)}];
            ++use.first;
            use.second += a < b ? 1 : 0;
        }
    }
    if (edges.empty())
        return {};
    bool oriented = true;
    for (const auto& [edge, use] : edges) {
        if (use.first < 2)
            return {};
        oriented = oriented && use.first == 2 && use.second == 1;
    }
    if (!oriented)
        return {true, 0};
    double volume6 = 0, extent = 0;
    for (const ON_3fPoint& p : m.m_V)
        extent = std::max({extent, std::fabs(double(p.x)), std::fabs(double(p.y)), std::fabs(double(p.z))});
    for (const ON_MeshFace& f : m.m_F) {
        auto at = [&](int k) { return ON_3dVector(ON_3dPoint(m.m_V[f.vi[k]])); };
        volume6 += ON_DotProduct(at(0), ON_CrossProduct(at(1), at(2)));
        if (f.IsQuad())
            volume6 += ON_DotProduct(at(0), ON_CrossProduct(at(2), at(3)));
    }
    const double tiny = 1e-12 * extent * extent * extent;
    return {true, volume6 > tiny ? 1 : volume6 < -tiny ? -1 : 0};
}

// A closed torus of quads, or of triangles, with outward winding.
ON_Mesh torus(int rings, int sides, bool triangles) {
    ON_Mesh m;
    for (int j = 0; j < rings; ++j)
        for (int i = 0; i < sides; ++i) {
            const double phi = 2 * M_PI * j / rings, theta = 2 * M_PI * i / sides, r = 3 + std::cos(phi);
            m.AppendVertex({r * std::cos(theta), r * std::sin(theta), std::sin(phi)});
        }
    auto at = [&](int i, int j) { return (j % rings) * sides + (i % sides); };
    for (int j = 0; j < rings; ++j)
        for (int i = 0; i < sides; ++i) {
            const int a = at(i, j), b = at(i + 1, j), c = at(i + 1, j + 1), d = at(i, j + 1);
            if (triangles) {
                m.SetTriangle(m.FaceCount(), a, b, c);
                m.SetTriangle(m.FaceCount(), a, c, d);
            } else {
                m.SetQuad(m.FaceCount(), a, b, c, d);
            }
        }
    return m;
}

// Each face gets its own corners (same positions), as meshes split for seams.
ON_Mesh splitEveryFace(const ON_Mesh& shared) {
    ON_Mesh m;
    for (const ON_MeshFace& f : shared.m_F) {
        ON_MeshFace g = f;
        for (int k = 0; k < (f.IsQuad() ? 4 : 3); ++k) {
            g.vi[k] = m.VertexCount();
            m.m_V.Append(shared.m_V[f.vi[k]]);
        }
        g.vi[3] = f.IsQuad() ? g.vi[3] : g.vi[2];
        m.m_F.Append(g);
    }
    return m;
}

void turnInsideOut(ON_Mesh& m) {
    for (ON_MeshFace& g : m.m_F)
        g.IsQuad() ? std::swap(g.vi[1], g.vi[3]) : std::swap(g.vi[0], g.vi[1]);
}

// One random kind of damage (or none) applied to a solid.
void damage(ON_Mesh& m, std::mt19937& random) {
    auto pick = [&](int count) { return std::uniform_int_distribution<int>(0, count - 1)(random); };
    ON_MeshFace& f = m.m_F[pick(m.FaceCount())];
    switch (pick(11)) {
        case 0: break;                                                  // intact
        case 1: std::swap(f.vi[0], f.vi[1]); break;                     // one face turned (a quad may twist)
        case 2: m.m_F.Remove(pick(m.FaceCount())); break;               // a hole
        case 3: m.m_F.Append(f); break;                                 // a face twice: non-manifold
        case 4: f.vi[1] = f.vi[0]; break;                               // a collapsed edge
        case 5: f.vi[pick(3)] = pick(2) ? m.VertexCount() : -1; break;  // out of range
        case 6: m.m_V[pick(m.VertexCount())].x += 0.25f; break;         // a vertex moved off its twin
        case 7: turnInsideOut(m); break;
        case 8:  // flattened to zero volume
            for (ON_3fPoint& p : m.m_V)
                p.z = 0.0f;
            break;
        case 9:  // -0 for 0 at every other corner: still one position
            for (int i = 0; i < m.VertexCount(); i += 2)
                for (float* c : {&m.m_V[i].x, &m.m_V[i].y, &m.m_V[i].z})
                    *c = *c == 0.0f ? -0.0f : *c;
            break;
        case 10:  // every face collapsed: not a single edge
            for (ON_MeshFace& g : m.m_F)
                g.vi[1] = g.vi[2] = g.vi[3] = g.vi[0];
            break;
    }
}

}  // namespace

// Thousands of solids of quads or triangles, each possibly damaged once or twice,
// split or shared, agree with the reference on both answers.
TEST(MeshTopology, AgreesWithReferenceOnDamagedSolids) {
    std::mt19937 random(20240611);
    int closed = 0, solids = 0;
    for (int round = 0; round < 3000; ++round) {
        const int rings = 3 + int(random() % 6), sides = 3 + int(random() % 6);
        ON_Mesh m =
            round % 5 == 0 ? boxMesh({0, 0, 0}, {1.0 + round % 3, 2, 3}) : torus(rings, sides, random() % 2 == 0);
        if (random() % 2 == 0)
            m = splitEveryFace(m);
        damage(m, random);
        if (random() % 3 == 0)
            damage(m, random);
        const MeshTopologySummary expected = reference(m);
        ASSERT_EQ(analyse(m), expected) << "round " << round;
        closed += expected.closed ? 1 : 0;
        solids += expected.orientation != 0 ? 1 : 0;
    }
    // The damage mix must leave every outcome well represented.
    EXPECT_GT(closed, 1000);
    EXPECT_GT(solids, 500);
    EXPECT_GT(3000 - closed, 500);
}

// The cached answers follow every change made after a question (of faces, winding or
// positions), and a copy answers for its own arrays.
TEST(OnMesh, AnswersFollowChangesAfterAQuestion) {
    const ON_Mesh split = splitEveryFace(boxMesh({0, 0, 0}, {2, 3, 4}));
    ON_Mesh box = split;
    ASSERT_EQ(box.SolidOrientation(), 1);
    ON_Mesh copy = box;
    box.m_F.Remove(3);  // a hole, made through the array itself
    EXPECT_FALSE(box.IsClosed());
    EXPECT_EQ(box.SolidOrientation(), 0);
    EXPECT_EQ(copy.SolidOrientation(), 1);

    box = split;
    ASSERT_TRUE(box.IsClosed());
    turnInsideOut(box);  // same counts, other winding
    EXPECT_EQ(box.SolidOrientation(), -1);
    turnInsideOut(box);
    EXPECT_EQ(box.SolidOrientation(), 1);

    // A split corner moved off its twins opens the solid; moved back, it closes again.
    const ON_3dPoint corner(box.m_V[0]);
    ASSERT_TRUE(box.SetVertex(0, ON_3dPoint(corner.x, corner.y, corner.z + 0.5)));
    EXPECT_FALSE(box.IsClosed());
    ASSERT_TRUE(box.SetVertex(0, corner));
    EXPECT_TRUE(box.IsClosed());
}
