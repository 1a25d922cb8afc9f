#include "scene/mesh_conversion.h"

#include <cmath>
#include <limits>
#include <vector>

#include "scene/mesh_info.h"
#include "scene/renderer_matrix.h"
#include "scene/tex_coord_context.h"
#include "sdk/on_mesh.h"

namespace {

bool finite3(float x, float y, float z) {
    // x - x is 0 for every finite x and NaN otherwise; one test for all three.
    return (x - x) + (y - y) + (z - z) == 0.0f;
}

// Per-vertex flags for vertices with non-finite coordinates; empty when all are fine
// (the common case costs one pass and no allocation).
std::vector<uint8_t> badVertexFlags(const ON_Mesh& mesh, MeshProblems& problems) {
    std::vector<uint8_t> bad;
    const int v = mesh.VertexCount();
    const ON_3fPoint* p = mesh.m_V.Array();
    for (int i = 0; i < v; ++i) {
        if (finite3(p[i].x, p[i].y, p[i].z)) continue;
        if (bad.empty()) bad.assign(static_cast<size_t>(v), 0);
        bad[static_cast<size_t>(i)] = 1;
        ++problems.badVertices;
    }
    return bad;
}

struct FaceCheck {
    int vertexCount;
    const std::vector<uint8_t>& badVertex;

    // 0 usable; 1 index out of range; 2 corner on a bad vertex.
    int operator()(const ON_MeshFace& f) const {
        const int corners = f.IsQuad() ? 4 : 3;
        for (int k = 0; k < corners; ++k)
            if (f.vi[k] < 0 || f.vi[k] >= vertexCount) return 1;
        if (!badVertex.empty())
            for (int k = 0; k < corners; ++k)
                if (badVertex[static_cast<size_t>(f.vi[k])]) return 2;
        return 0;
    }
};

// Counts the indices of the usable faces and fills the face-derived vertex normals
// (when faceNormals is not null); counts the faces left out.
uint64_t scanFaces(const ON_Mesh& mesh, const FaceCheck& check, std::vector<ON_3fVector>* faceNormals,
                   MeshProblems& problems) {
    uint64_t indices = 0;
    const int f = mesh.FaceCount();
    for (int i = 0; i < f; ++i) {
        const ON_MeshFace& face = mesh.m_F[i];
        const int verdict = check(face);
        if (verdict == 1) ++problems.facesOutOfRange;
        if (verdict == 2) ++problems.facesOnBadVertices;
        if (verdict != 0) continue;
        const bool quad = face.IsQuad();
        indices += quad ? 6 : 3;
        if (faceNormals) {
            const ON_3fVector& n = mesh.m_FN[i];
            for (int k = 0; k < (quad ? 4 : 3); ++k) (*faceNormals)[static_cast<size_t>(face.vi[k])] = n;
        }
    }
    return indices;
}

void writeIndices(const ON_Mesh& mesh, const FaceCheck& check, bool flipped, uint32_t* out) {
    for (const ON_MeshFace& face : mesh.m_F) {
        if (check(face) != 0) continue;
        const uint32_t a = uint32_t(face.vi[0]), b = uint32_t(face.vi[1]), c = uint32_t(face.vi[2]),
                       d = uint32_t(face.vi[3]);
        const bool quad = face.IsQuad();
        if (!flipped) {
            *out++ = a, *out++ = b, *out++ = c;
            if (quad) *out++ = a, *out++ = c, *out++ = d;
        } else {
            *out++ = c, *out++ = b, *out++ = a;
            if (quad) *out++ = d, *out++ = c, *out++ = a;
        }
    }
}

ON_2fPoint texCoord(const TexCoordContext* ctx, const ON_Mesh& mesh, int i, const ON_3fPoint& p,
                    const ON_3fVector& n) {
    if (!ctx || !ctx->enabled) return ON_2fPoint(0.0f, 1.0f);
    if (ctx->UsesOwnCoordinates()) {
        const ON_2fPoint& t = mesh.m_T[i];
        return ON_2fPoint(t.x, static_cast<float>(1.0 - static_cast<double>(t.y)));
    }
    return ctx->TexCoordAt(i, &p, &n);
}

void writeVertices(const ON_Mesh& mesh, float s, float sign, const ON_3fVector* normalSource,
                   const std::vector<uint8_t>& badVertex, const TexCoordContext* ctx, MeshInfo& mi,
                   MeshProblems& problems) {
    const int v = mesh.VertexCount();
    float* pos = mi.positions.data();
    float* nrm = mi.normals.data();
    float* uv = mi.uvs.data();
    for (int i = 0; i < v; ++i) {
        ON_3fPoint p = mesh.m_V[i];
        if (!badVertex.empty() && badVertex[static_cast<size_t>(i)]) p = ON_3fPoint();
        ON_3fVector n = normalSource ? normalSource[i] : ON_3fVector();
        if (!finite3(n.x, n.y, n.z)) {
            n = ON_3fVector();
            ++problems.badNormals;
        }
        ON_2fPoint t = texCoord(ctx, mesh, i, p, n);
        if (!std::isfinite(t.x) || !std::isfinite(t.y)) {
            t = ON_2fPoint(0.0f, 1.0f);
            ++problems.badTexCoords;
        }
        pos[0] = p.x * s, pos[1] = p.z * s, pos[2] = p.y * s;
        nrm[0] = sign * n.x, nrm[1] = sign * n.z, nrm[2] = sign * n.y;
        uv[0] = t.x, uv[1] = t.y;
        pos += 3, nrm += 3, uv += 2;
    }
}

void appendCount(std::u16string& text, uint32_t count, const char16_t* one, const char16_t* many) {
    if (count == 0) return;
    if (!text.empty()) text += u", ";
    for (char c : std::to_string(count)) text += static_cast<char16_t>(c);
    text += u' ';
    text += count == 1 ? one : many;
}

}  // namespace

bool MeshProblems::Any() const {
    return facesOutOfRange || facesOnBadVertices || badVertices || badNormals || badTexCoords || emptyMeshes ||
           tooLargeMeshes || badPlacements;
}

std::u16string MeshProblems::Describe() const {
    std::u16string text;
    appendCount(text, facesOutOfRange, u"face with vertex indices out of range left out",
                u"faces with vertex indices out of range left out");
    appendCount(text, facesOnBadVertices, u"face on non-finite vertices left out",
                u"faces on non-finite vertices left out");
    appendCount(text, badVertices, u"vertex with non-finite coordinates sent as 0",
                u"vertices with non-finite coordinates sent as 0");
    appendCount(text, badNormals, u"non-finite normal sent as zero", u"non-finite normals sent as zero");
    appendCount(text, badTexCoords, u"non-finite texture coordinate sent as (0, 1)",
                u"non-finite texture coordinates sent as (0, 1)");
    appendCount(text, emptyMeshes, u"empty mesh left out", u"empty meshes left out");
    appendCount(text, tooLargeMeshes, u"mesh too large for the link left out", u"meshes too large for the link left out");
    appendCount(text, badPlacements, u"placement that is not finite or not invertible",
                u"placements that are not finite or not invertible");
    return text;
}

bool ConvertMesh(const ON_Mesh& mesh, float unitScale, const TexCoordContext* ctx, MeshInfo& mi,
                 MeshProblems& problems) {
    const int v = mesh.VertexCount();
    const int f = mesh.FaceCount();
    if (v <= 0 || f <= 0) {
        ++problems.emptyMeshes;
        return false;
    }
    const std::vector<uint8_t> badVertex = badVertexFlags(mesh, problems);
    const FaceCheck check{v, badVertex};

    const ON_3fVector* normalSource = nullptr;
    std::vector<ON_3fVector> faceDerived;
    const bool useFaceNormals = !(mesh.HasVertexNormals() && mesh.m_N.Count() == v) && mesh.HasFaceNormals() &&
                                mesh.m_FN.Count() == f;
    if (useFaceNormals) faceDerived.assign(static_cast<size_t>(v), ON_3fVector());
    const uint64_t indexCount = scanFaces(mesh, check, useFaceNormals ? &faceDerived : nullptr, problems);
    if (indexCount == 0) {
        ++problems.emptyMeshes;
        return false;
    }
    if (indexCount > std::numeric_limits<uint32_t>::max()) {
        ++problems.tooLargeMeshes;
        return false;
    }
    if (mesh.HasVertexNormals() && mesh.m_N.Count() == v)
        normalSource = mesh.m_N.Array();
    else if (useFaceNormals)
        normalSource = faceDerived.data();

    // SolidOrientation is non-zero only for closed meshes, which spares the second
    // topology pass for the common closed and outward case.
    const int orientation = mesh.SolidOrientation();
    const bool flipped = orientation == -1;
    const bool closed = orientation != 0 || mesh.IsClosed();

    mi.indices.resize(static_cast<size_t>(indexCount));
    writeIndices(mesh, check, flipped, mi.indices.data());
    mi.positions.resize(3 * static_cast<size_t>(v));
    mi.normals.resize(3 * static_cast<size_t>(v));
    mi.uvs.resize(2 * static_cast<size_t>(v));
    writeVertices(mesh, unitScale, flipped ? -1.0f : 1.0f, normalSource, badVertex, ctx, mi, problems);

    mi.vertexCount = static_cast<uint32_t>(v);
    mi.indexCount = static_cast<uint32_t>(indexCount);
    mi.twoSided = !closed;
    return true;
}

bool TransformMeshInfo(MeshInfo* mi, const RendererMatrix* m) {
    if (!mi || !m) return false;
    const RendererMatrix& a = *m;
    float* p = mi->positions.data();
    for (uint32_t i = 0; i < mi->vertexCount; ++i, p += 3) {
        const float x = p[0], y = p[1], z = p[2];
        p[0] = x * a.at(0, 0) + y * a.at(1, 0) + z * a.at(2, 0) + a.at(3, 0);
        p[1] = x * a.at(0, 1) + y * a.at(1, 1) + z * a.at(2, 1) + a.at(3, 1);
        p[2] = x * a.at(0, 2) + y * a.at(1, 2) + z * a.at(2, 2) + a.at(3, 2);
    }
    RendererMatrix nm;
    const bool haveNormalMatrix = NormalMatrix(a, nm);
    float* n = mi->normals.data();
    for (uint32_t i = 0; i < mi->vertexCount; ++i, n += 3) {
        if (!haveNormalMatrix) {
            n[0] = n[1] = n[2] = 0.0f;
            continue;
        }
        const float x = n[0], y = n[1], z = n[2];
        n[0] = x * nm.at(0, 0) + y * nm.at(1, 0) + z * nm.at(2, 0) + nm.at(3, 0);
        n[1] = x * nm.at(0, 1) + y * nm.at(1, 1) + z * nm.at(2, 1) + nm.at(3, 1);
        n[2] = x * nm.at(0, 2) + y * nm.at(1, 2) + z * nm.at(2, 2) + nm.at(3, 2);
    }
    return haveNormalMatrix;
}
