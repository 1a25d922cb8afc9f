#include "sdk/on_mesh.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <unordered_map>

namespace {

struct PointKey {
    uint32_t x, y, z;
    bool operator==(const PointKey&) const = default;
};

struct PointKeyHash {
    size_t operator()(const PointKey& k) const {
        uint64_t h = k.x;
        h = h * 0x9E3779B97F4A7C15ULL ^ k.y;
        h = h * 0x9E3779B97F4A7C15ULL ^ k.z;
        return static_cast<size_t>(h ^ (h >> 29));
    }
};

PointKey keyOf(const ON_3fPoint& p) {
    // Adding 0 turns -0 into +0 so that both count as the same position.
    return {std::bit_cast<uint32_t>(p.x + 0.0f), std::bit_cast<uint32_t>(p.y + 0.0f),
            std::bit_cast<uint32_t>(p.z + 0.0f)};
}

// Vertices at the same position get the same topological index.
std::vector<int> topologicalVertices(const ON_Mesh& mesh) {
    std::unordered_map<PointKey, int, PointKeyHash> index;
    std::vector<int> topo(static_cast<size_t>(mesh.VertexCount()));
    for (int i = 0; i < mesh.VertexCount(); ++i) {
        const auto [it, added] = index.emplace(keyOf(mesh.m_V[i]), static_cast<int>(index.size()));
        topo[static_cast<size_t>(i)] = it->second;
    }
    return topo;
}

struct EdgeUse {
    int faces = 0;      // faces using the edge
    int direction = 0;  // +1 per use from low to high index, -1 per use the other way
};

// Edges of the mesh over topological vertices; empty when a face is out of range.
std::unordered_map<uint64_t, EdgeUse> edgeUses(const ON_Mesh& mesh, bool& ok) {
    ok = true;
    std::unordered_map<uint64_t, EdgeUse> edges;
    const std::vector<int> topo = topologicalVertices(mesh);
    const int v = mesh.VertexCount();
    for (const ON_MeshFace& f : mesh.m_F) {
        const int n = f.IsQuad() ? 4 : 3;
        for (int i = 0; i < n; ++i) {
            if (f.vi[i] < 0 || f.vi[i] >= v) {
                ok = false;
                return {};
            }
        }
        for (int i = 0; i < n; ++i) {
            const int a = topo[static_cast<size_t>(f.vi[i])];
            const int b = topo[static_cast<size_t>(f.vi[(i + 1) % n])];
            if (a == b) continue;  // a collapsed edge bounds nothing
            const uint64_t key = (uint64_t(uint32_t(std::min(a, b))) << 32) | uint32_t(std::max(a, b));
            EdgeUse& use = edges[key];
            ++use.faces;
            use.direction += a < b ? 1 : -1;
        }
    }
    return edges;
}

ON_3dVector faceNormal(const ON_Mesh& mesh, const ON_MeshFace& f) {
    const ON_3dPoint a(mesh.m_V[f.vi[0]]), b(mesh.m_V[f.vi[1]]), c(mesh.m_V[f.vi[2]]), d(mesh.m_V[f.vi[3]]);
    ON_3dVector n = f.IsQuad() ? ON_CrossProduct(c - a, d - b) : ON_CrossProduct(b - a, c - a);
    if (!n.Unitize()) return {};
    return n;
}

bool faceInRange(const ON_MeshFace& f, int vertexCount) {
    for (int i : f.vi)
        if (i < 0 || i >= vertexCount) return false;
    return true;
}

}  // namespace

bool ON_MeshFace::IsValid(int vertexCount) const {
    for (int i : vi)
        if (i < 0 || i >= vertexCount) return false;
    if (vi[0] == vi[1] || vi[1] == vi[2] || vi[0] == vi[2]) return false;
    if (IsQuad() && (vi[3] == vi[0] || vi[3] == vi[1])) return false;
    return true;
}

int ON_Mesh::TriangleCount() const {
    int n = 0;
    for (const ON_MeshFace& f : m_F) n += f.IsTriangle() ? 1 : 0;
    return n;
}

int ON_Mesh::QuadCount() const { return FaceCount() - TriangleCount(); }

int ON_Mesh::AppendVertex(const ON_3dPoint& p) {
    m_V.Append(ON_3fPoint(p));
    return m_V.Count() - 1;
}

bool ON_Mesh::SetVertex(int index, const ON_3dPoint& p) {
    if (index < 0) return false;
    if (index >= m_V.Count()) m_V.SetCount(index + 1);
    m_V[index] = ON_3fPoint(p);
    return true;
}

bool ON_Mesh::SetVertexNormal(int index, const ON_3dVector& n) {
    if (index < 0) return false;
    if (index >= m_N.Count()) m_N.SetCount(index + 1);
    m_N[index] = ON_3fVector(n);
    return true;
}

bool ON_Mesh::SetTextureCoord(int index, double s, double t) {
    if (index < 0) return false;
    if (index >= m_T.Count()) m_T.SetCount(index + 1);
    m_T[index] = ON_2fPoint(static_cast<float>(s), static_cast<float>(t));
    return true;
}

bool ON_Mesh::SetTriangle(int faceIndex, int a, int b, int c) { return SetQuad(faceIndex, a, b, c, c); }

bool ON_Mesh::SetQuad(int faceIndex, int a, int b, int c, int d) {
    if (faceIndex < 0) return false;
    if (faceIndex >= m_F.Count()) m_F.SetCount(faceIndex + 1);
    m_F[faceIndex] = ON_MeshFace{{a, b, c, d}};
    return true;
}

bool ON_Mesh::ComputeFaceNormals() {
    if (m_F.Count() == 0) return false;
    m_FN.SetCount(m_F.Count());
    for (int i = 0; i < m_F.Count(); ++i) {
        const ON_MeshFace& f = m_F[i];
        m_FN[i] = faceInRange(f, VertexCount()) ? ON_3fVector(faceNormal(*this, f)) : ON_3fVector();
    }
    return true;
}

bool ON_Mesh::ComputeVertexNormals() {
    if (!HasFaceNormals() && !ComputeFaceNormals()) return false;
    std::vector<ON_3dVector> sums(static_cast<size_t>(VertexCount()));
    for (int i = 0; i < m_F.Count(); ++i) {
        const ON_MeshFace& f = m_F[i];
        if (!faceInRange(f, VertexCount())) continue;
        const int n = f.IsQuad() ? 4 : 3;
        for (int k = 0; k < n; ++k) sums[static_cast<size_t>(f.vi[k])] = sums[static_cast<size_t>(f.vi[k])] + ON_3dVector(m_FN[i]);
    }
    m_N.SetCount(VertexCount());
    for (int i = 0; i < VertexCount(); ++i) {
        ON_3dVector n = sums[static_cast<size_t>(i)];
        m_N[i] = n.Unitize() ? ON_3fVector(n) : ON_3fVector();
    }
    return true;
}

bool ON_Mesh::IsValid(ON_TextLog*) const {
    const int v = VertexCount();
    for (const ON_MeshFace& f : m_F)
        if (!faceInRange(f, v)) return false;
    if (m_N.Count() != 0 && m_N.Count() != v) return false;
    if (m_T.Count() != 0 && m_T.Count() != v) return false;
    if (m_FN.Count() != 0 && m_FN.Count() != FaceCount()) return false;
    auto finite3 = [](float x, float y, float z) { return std::isfinite(x) && std::isfinite(y) && std::isfinite(z); };
    for (const ON_3fPoint& p : m_V)
        if (!finite3(p.x, p.y, p.z)) return false;
    for (const ON_3fVector& n : m_N)
        if (!finite3(n.x, n.y, n.z)) return false;
    for (const ON_3fVector& n : m_FN)
        if (!finite3(n.x, n.y, n.z)) return false;
    for (const ON_2fPoint& t : m_T)
        if (!std::isfinite(t.x) || !std::isfinite(t.y)) return false;
    return true;
}

bool ON_Mesh::IsClosed() const {
    if (m_F.Count() == 0) return false;
    bool ok = false;
    const auto edges = edgeUses(*this, ok);
    if (!ok || edges.empty()) return false;
    for (const auto& [key, use] : edges)
        if (use.faces < 2) return false;
    return true;
}

int ON_Mesh::SolidOrientation() const {
    if (m_F.Count() == 0) return 0;
    bool ok = false;
    const auto edges = edgeUses(*this, ok);
    if (!ok || edges.empty()) return 0;
    for (const auto& [key, use] : edges)
        if (use.faces != 2 || use.direction != 0) return 0;
    // Divergence theorem: six times the enclosed volume, positive when the winding
    // (and so the normals) faces outward.
    double volume6 = 0.0;
    double extent = 0.0;
    for (const ON_3fPoint& p : m_V) extent = std::max({extent, std::fabs(double(p.x)), std::fabs(double(p.y)), std::fabs(double(p.z))});
    for (const ON_MeshFace& f : m_F) {
        auto at = [&](int k) { return ON_3dVector(m_V[f.vi[k]].x, m_V[f.vi[k]].y, m_V[f.vi[k]].z); };
        const ON_3dVector a = at(0), b = at(1), c = at(2);
        volume6 += ON_DotProduct(a, ON_CrossProduct(b, c));
        if (f.IsQuad()) {
            const ON_3dVector d = at(3);
            volume6 += ON_DotProduct(a, ON_CrossProduct(c, d));
        }
    }
    const double tiny = 1e-12 * extent * extent * extent;
    if (volume6 > tiny) return 1;
    if (volume6 < -tiny) return -1;
    return 0;
}

bool ON_Mesh::Transform(const ON_Xform& xform) {
    ON_Xform normalXform = xform;
    for (int i = 0; i < 3; ++i) normalXform.m_xform[i][3] = normalXform.m_xform[3][i] = 0.0;
    normalXform.m_xform[3][3] = 1.0;
    if (!normalXform.Invert()) return false;
    normalXform.Transpose();
    for (ON_3fPoint& p : m_V) p = ON_3fPoint(xform * ON_3dPoint(p));
    auto transformNormal = [&](ON_3fVector& n) {
        ON_3dVector t = normalXform * ON_3dVector(n);
        n = t.Unitize() ? ON_3fVector(t) : ON_3fVector();
    };
    for (ON_3fVector& n : m_N) transformNormal(n);
    for (ON_3fVector& n : m_FN) transformNormal(n);
    if (xform.Determinant() < 0.0) {
        // A mirror reverses the winding; reorder corners so normals still match it.
        for (ON_MeshFace& f : m_F) {
            if (f.IsQuad()) std::swap(f.vi[1], f.vi[3]);
            else {
                std::swap(f.vi[1], f.vi[2]);
                f.vi[3] = f.vi[2];
            }
        }
    }
    m_TC.Empty();
    return true;
}
