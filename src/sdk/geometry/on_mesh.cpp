#include "sdk/geometry/on_mesh.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <span>

#include "geometry/mesh_topology.h"

namespace {

ON_3dVector faceNormal(const ON_Mesh& mesh, const ON_MeshFace& f) {
    const ON_3dPoint a(mesh.m_V[f.vi[0]]), b(mesh.m_V[f.vi[1]]), c(mesh.m_V[f.vi[2]]), d(mesh.m_V[f.vi[3]]);
    ON_3dVector n = f.IsQuad() ? ON_CrossProduct(c - a, d - b) : ON_CrossProduct(b - a, c - a);
    if (!n.Unitize())
        return {};
    return n;
}

bool faceInRange(const ON_MeshFace& f, int vertexCount) {
    for (int i : f.vi)
        if (i < 0 || i >= vertexCount)
            return false;
    return true;
}

}  // namespace

bool ON_MeshFace::IsValid(int vertexCount) const {
    for (int i : vi)
        if (i < 0 || i >= vertexCount)
            return false;
    if (vi[0] == vi[1] || vi[1] == vi[2] || vi[0] == vi[2])
        return false;
    if (IsQuad() && (vi[3] == vi[0] || vi[3] == vi[1]))
        return false;
    return true;
}

int ON_Mesh::TriangleCount() const {
    int n = 0;
    for (const ON_MeshFace& f : m_F)
        n += f.IsTriangle() ? 1 : 0;
    return n;
}

int ON_Mesh::QuadCount() const { return FaceCount() - TriangleCount(); }

int ON_Mesh::AppendVertex(const ON_3dPoint& p) {
    m_V.Append(ON_3fPoint(p));
    return m_V.Count() - 1;
}

bool ON_Mesh::SetVertex(int index, const ON_3dPoint& p) {
    if (index < 0)
        return false;
    if (index >= m_V.Count())
        m_V.SetCount(index + 1);
    m_V[index] = ON_3fPoint(p);
    return true;
}

bool ON_Mesh::SetVertexNormal(int index, const ON_3dVector& n) {
    if (index < 0)
        return false;
    if (index >= m_N.Count())
        m_N.SetCount(index + 1);
    m_N[index] = ON_3fVector(n);
    return true;
}

bool ON_Mesh::SetTextureCoord(int index, double s, double t) {
    if (index < 0)
        return false;
    if (index >= m_T.Count())
        m_T.SetCount(index + 1);
    m_T[index] = ON_2fPoint(static_cast<float>(s), static_cast<float>(t));
    return true;
}

bool ON_Mesh::SetTriangle(int faceIndex, int a, int b, int c) { return SetQuad(faceIndex, a, b, c, c); }

bool ON_Mesh::SetQuad(int faceIndex, int a, int b, int c, int d) {
    if (faceIndex < 0)
        return false;
    if (faceIndex >= m_F.Count())
        m_F.SetCount(faceIndex + 1);
    m_F[faceIndex] = ON_MeshFace{{a, b, c, d}};
    return true;
}

bool ON_Mesh::ComputeFaceNormals() {
    if (m_F.Count() == 0)
        return false;
    m_FN.SetCount(m_F.Count());
    for (int i = 0; i < m_F.Count(); ++i) {
        const ON_MeshFace& f = m_F[i];
        m_FN[i] = faceInRange(f, VertexCount()) ? ON_3fVector(faceNormal(*this, f)) : ON_3fVector();
    }
    return true;
}

bool ON_Mesh::IsValid(ON_TextLog*) const {
    const int v = VertexCount();
    for (const ON_MeshFace& f : m_F)
        if (!faceInRange(f, v))
            return false;
    if (m_N.Count() != 0 && m_N.Count() != v)
        return false;
    if (m_T.Count() != 0 && m_T.Count() != v)
        return false;
    if (m_FN.Count() != 0 && m_FN.Count() != FaceCount())
        return false;
    auto finite3 = [](float x, float y, float z) { return std::isfinite(x) && std::isfinite(y) && std::isfinite(z); };
    for (const ON_3fPoint& p : m_V)
        if (!finite3(p.x, p.y, p.z))
            return false;
    for (const ON_3fVector& n : m_N)
        if (!finite3(n.x, n.y, n.z))
            return false;
    for (const ON_3fVector& n : m_FN)
        if (!finite3(n.x, n.y, n.z))
            return false;
    for (const ON_2fPoint& t : m_T)
        if (!std::isfinite(t.x) || !std::isfinite(t.y))
            return false;
    return true;
}

ON_Mesh::Topology ON_Mesh::CachedTopology() const {
    using namespace vantro::sdk;
    const std::span<const ON_3fPoint> vertices(m_V.Array(), static_cast<size_t>(m_V.Count()));
    const std::span<const ON_MeshFace> faces(m_F.Array(), static_cast<size_t>(m_F.Count()));
    const uint64_t digest = meshShapeDigest(vertices, faces);
    {
        std::lock_guard<std::mutex> hold(m_topology.lock);
        if (m_topology.valid && m_topology.digest == digest)
            return {m_topology.closed, m_topology.orientation};
    }
    // Analysed outside the lock: concurrent first questions may both analyse, and both
    // store the same answer.
    MeshTopologySummary summary;
    try {
        summary = analyseMeshTopology(vertices, faces);
    } catch (const std::bad_alloc&) {
        return {false, 0};  // not shown to be closed; nothing cached, the next question tries again
    }
    std::lock_guard<std::mutex> hold(m_topology.lock);
    m_topology.valid = true;
    m_topology.digest = digest;
    m_topology.closed = summary.closed;
    m_topology.orientation = summary.orientation;
    return {summary.closed, summary.orientation};
}

bool ON_Mesh::IsClosed() const { return CachedTopology().closed; }

int ON_Mesh::SolidOrientation() const { return CachedTopology().orientation; }

bool ON_Mesh::Transform(const ON_Xform& xform) {
    ON_Xform normalXform = xform;
    for (int i = 0; i < 3; ++i)
        normalXform.m_xform[i][3] = normalXform.m_xform[3][i] = 0.0;
    normalXform.m_xform[3][3] = 1.0;
    if (!normalXform.Invert())
        return false;
    normalXform.Transpose();
    for (ON_3fPoint& p : m_V)
        p = ON_3fPoint(xform * ON_3dPoint(p));
    auto transformNormal = [&](ON_3fVector& n) {
        ON_3dVector t = normalXform * ON_3dVector(n);
        n = t.Unitize() ? ON_3fVector(t) : ON_3fVector();
    };
    for (ON_3fVector& n : m_N)
        transformNormal(n);
    for (ON_3fVector& n : m_FN)
        transformNormal(n);
    if (xform.Determinant() < 0.0) {
        // A mirror reverses the winding; reorder corners so normals still match it.
        for (ON_MeshFace& f : m_F) {
            if (f.IsQuad())
                std::swap(f.vi[1], f.vi[3]);
            else {
                std::swap(f.vi[1], f.vi[2]);
                f.vi[3] = f.vi[2];
            }
        }
    }
    m_TC.Empty();
    return true;
}
