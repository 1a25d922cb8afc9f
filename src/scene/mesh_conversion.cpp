#include "mesh_conversion.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "scene/mesh_info.h"
#include "scene/renderer_matrix.h"
#include "tex_coord_context.h"
#include "sdk/geometry/on_mesh.h"

using namespace vantro::scene;

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
        if (finite3(p[i].x, p[i].y, p[i].z))
            continue;
        if (bad.empty())
            bad.assign(static_cast<size_t>(v), 0);
        bad[static_cast<size_t>(i)] = 1;
        ++problems.badVertices;
    }
    return bad;
}

// Entries converted on the stack before each append: the output vectors are then
// filled by copies into reserved storage, without zero-filling them first.
constexpr size_t kTile = 256;

struct FaceCheck {
    uint32_t vertexCount;
    const uint8_t* badVertex;  // null when every vertex is finite

    // 0 usable; 1 index out of range; 2 corner on a bad vertex. A triangle repeats
    // its third corner, so checking four corners is right for both shapes.
    int operator()(const ON_MeshFace& f) const {
        const bool inRange = (uint32_t(f.vi[0]) < vertexCount) & (uint32_t(f.vi[1]) < vertexCount) &
                             (uint32_t(f.vi[2]) < vertexCount) & (uint32_t(f.vi[3]) < vertexCount);
        if (!inRange)
            return 1;
        if (badVertex && (badVertex[f.vi[0]] | badVertex[f.vi[1]] | badVertex[f.vi[2]] | badVertex[f.vi[3]]))
            return 2;
        return 0;
    }
};

// One pass over the faces: checks each, appends its triangles to out and, when
// faceNormals is given, gives its corners the face's normal (later faces win).
void convertFaces(const ON_Mesh& mesh, const FaceCheck& check, bool flipped, ON_3fVector* faceNormals,
                  MeshProblems& problems, std::vector<uint32_t>& out) {
    uint32_t tile[6 * kTile];
    size_t n = 0;
    const int f = mesh.FaceCount();
    const ON_MeshFace* faces = mesh.m_F.Array();
    for (int i = 0; i < f; ++i) {
        const ON_MeshFace& face = faces[i];
        const int verdict = check(face);
        if (verdict != 0) {
            ++(verdict == 1 ? problems.facesOutOfRange : problems.facesOnBadVertices);
            continue;
        }
        const uint32_t a = uint32_t(face.vi[0]), b = uint32_t(face.vi[1]), c = uint32_t(face.vi[2]),
                       d = uint32_t(face.vi[3]);
        const bool quad = c != d;
        if (!flipped) {
            tile[n] = a, tile[n + 1] = b, tile[n + 2] = c;
            if (quad)
                tile[n + 3] = a, tile[n + 4] = c, tile[n + 5] = d;
        } else {
            tile[n] = c, tile[n + 1] = b, tile[n + 2] = a;
            if (quad)
                tile[n + 3] = d, tile[n + 4] = c, tile[n + 5] = a;
        }
        n += quad ? 6 : 3;
        if (faceNormals) {
            const ON_3fVector& normal = mesh.m_FN[i];
            faceNormals[a] = faceNormals[b] = faceNormals[c] = faceNormals[d] = normal;
        }
        if (n > 5 * kTile) {
            out.insert(out.end(), tile, tile + n);
            n = 0;
        }
    }
    out.insert(out.end(), tile, tile + n);
}

enum class UvSource { none, own, context };

// The vertex pass, specialised by where texture coordinates come from. Vertices with
// non-finite coordinates are sent as 0: with detect set they are found here (and
// flagged in badVertex, allocated at the first one), otherwise badVertex already
// flags them (or is empty).
template <UvSource kUv>
void convertVertices(const ON_Mesh& mesh, float s, float sign, const ON_3fVector* normalSource,
                     std::vector<uint8_t>& badVertex, bool detect, const TexCoordContext* ctx, MeshInfo& mi,
                     MeshProblems& problems) {
    float pos[3 * kTile], nrm[3 * kTile], uv[2 * kTile];
    const int v = mesh.VertexCount();
    const ON_3fPoint* points = mesh.m_V.Array();
    const ON_2fPoint* own = mesh.m_T.Array();
    for (int first = 0; first < v; first += int(kTile)) {
        const int count = std::min(int(kTile), v - first);
        for (int k = 0; k < count; ++k) {
            const int i = first + k;
            ON_3fPoint p = points[i];
            if (detect ? !finite3(p.x, p.y, p.z) : !badVertex.empty() && badVertex[size_t(i)]) {
                if (detect) {
                    if (badVertex.empty())
                        badVertex.assign(size_t(v), 0);
                    badVertex[size_t(i)] = 1;
                    ++problems.badVertices;
                }
                p = ON_3fPoint();
            }
            ON_3fVector n = normalSource ? normalSource[i] : ON_3fVector();
            if (!finite3(n.x, n.y, n.z)) {
                n = ON_3fVector();
                ++problems.badNormals;
            }
            ON_2fPoint t(0.0f, 1.0f);
            if constexpr (kUv == UvSource::own)
                t = ON_2fPoint(own[i].x, float(1.0 - double(own[i].y)));
            if constexpr (kUv == UvSource::context)
                t = ctx->TexCoordAt(i, &p, &n);
            if constexpr (kUv != UvSource::none) {
                if (!std::isfinite(t.x) || !std::isfinite(t.y)) {
                    t = ON_2fPoint(0.0f, 1.0f);
                    ++problems.badTexCoords;
                }
            }
            pos[3 * k] = p.x * s, pos[3 * k + 1] = p.z * s, pos[3 * k + 2] = p.y * s;
            nrm[3 * k] = sign * n.x, nrm[3 * k + 1] = sign * n.z, nrm[3 * k + 2] = sign * n.y;
            uv[2 * k] = t.x, uv[2 * k + 1] = t.y;
        }
        mi.positions.insert(mi.positions.end(), pos, pos + 3 * count);
        mi.normals.insert(mi.normals.end(), nrm, nrm + 3 * count);
        mi.uvs.insert(mi.uvs.end(), uv, uv + 2 * count);
    }
}

void appendCount(std::u16string& text, uint32_t count, const char16_t* one, const char16_t* many) {
    if (count == 0)
        return;
    if (!text.empty())
        text += u", ";
    for (char c : std::to_string(count))
        text += static_cast<char16_t>(c);
    text += u' ';
    text += count == 1 ? one : many;
}

}  // namespace

bool MeshProblems::Any() const {
    return facesOutOfRange || facesOnBadVertices || badVertices || badNormals || badTexCoords || emptyMeshes ||
           tooLargeMeshes || badPlacements || overflowingMeshes;
}

bool vantro::scene::PositionsFinite(const MeshInfo& mi) {
    const float* p = mi.positions.data();
    const size_t count = std::min<size_t>(mi.positions.size(), size_t(mi.vertexCount) * 3);
    for (size_t i = 0; i < count; ++i)
        if (!std::isfinite(p[i]))
            return false;
    return true;
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
    appendCount(text, tooLargeMeshes, u"mesh too large for the link left out",
                u"meshes too large for the link left out");
    appendCount(text, badPlacements, u"placement that is not finite or not invertible",
                u"placements that are not finite or not invertible");
    appendCount(text, overflowingMeshes, u"mesh with coordinates too large for the renderer left out",
                u"meshes with coordinates too large for the renderer left out");
    return text;
}

MeshTopology vantro::scene::MeshTopologyOf(const ON_Mesh& mesh) {
    MeshTopology t;
    t.orientation = mesh.SolidOrientation();
    t.closed = t.orientation != 0 || mesh.IsClosed();
    return t;
}

bool vantro::scene::ConvertMesh(const ON_Mesh& mesh, float unitScale, const TexCoordContext* ctx, MeshInfo& mi,
                                MeshProblems& problems) {
    if (mesh.VertexCount() <= 0 || mesh.FaceCount() <= 0) {
        ++problems.emptyMeshes;
        return false;
    }
    return ConvertMesh(mesh, MeshTopologyOf(mesh), unitScale, ctx, mi, problems);
}

namespace {

void convertAllVertices(const ON_Mesh& mesh, float unitScale, float sign, const ON_3fVector* normalSource,
                        std::vector<uint8_t>& badVertex, bool detect, const TexCoordContext* ctx, MeshInfo& mi,
                        MeshProblems& problems) {
    const size_t v = size_t(mesh.VertexCount());
    mi.positions.clear(), mi.normals.clear(), mi.uvs.clear();
    mi.positions.reserve(3 * v);
    mi.normals.reserve(3 * v);
    mi.uvs.reserve(2 * v);
    if (!ctx || !ctx->enabled)
        convertVertices<UvSource::none>(mesh, unitScale, sign, normalSource, badVertex, detect, ctx, mi, problems);
    else if (ctx->UsesOwnCoordinates() && size_t(mesh.m_T.Count()) == v)
        convertVertices<UvSource::own>(mesh, unitScale, sign, normalSource, badVertex, detect, ctx, mi, problems);
    else
        convertVertices<UvSource::context>(mesh, unitScale, sign, normalSource, badVertex, detect, ctx, mi, problems);
}

}  // namespace

bool vantro::scene::ConvertMesh(const ON_Mesh& mesh, const MeshTopology& topology, float unitScale,
                                const TexCoordContext* ctx, MeshInfo& mi, MeshProblems& problems) {
    const int v = mesh.VertexCount();
    const int f = mesh.FaceCount();
    if (v <= 0 || f <= 0) {
        ++problems.emptyMeshes;
        return false;
    }
    if (6 * uint64_t(f) > std::numeric_limits<uint32_t>::max()) {
        ++problems.tooLargeMeshes;
        return false;
    }
    const bool vertexNormals = mesh.HasVertexNormals() && mesh.m_N.Count() == v;
    const bool faceNormals = !vertexNormals && mesh.HasFaceNormals() && mesh.m_FN.Count() == f;
    const bool flipped = topology.orientation == -1;
    const float sign = flipped ? -1.0f : 1.0f;
    std::vector<uint8_t> badVertex;
    std::vector<ON_3fVector> faceDerived;
    std::vector<uint32_t> indices;
    indices.reserve(6 * size_t(f));  // trimmed below when there are triangles

    // Vertices first, finding non-finite ones on the way, unless the normals come
    // from the faces: then the faces go first, after a pass that finds bad vertices.
    if (faceNormals) {
        badVertex = badVertexFlags(mesh, problems);
        faceDerived.assign(size_t(v), ON_3fVector());
        convertFaces(mesh, FaceCheck{uint32_t(v), badVertex.empty() ? nullptr : badVertex.data()}, flipped,
                     faceDerived.data(), problems, indices);
        convertAllVertices(mesh, unitScale, sign, faceDerived.data(), badVertex, false, ctx, mi, problems);
    } else {
        convertAllVertices(mesh, unitScale, sign, vertexNormals ? mesh.m_N.Array() : nullptr, badVertex, true, ctx, mi,
                           problems);
        convertFaces(mesh, FaceCheck{uint32_t(v), badVertex.empty() ? nullptr : badVertex.data()}, flipped, nullptr,
                     problems, indices);
    }
    if (indices.empty()) {
        ++problems.emptyMeshes;
        mi.positions = {}, mi.normals = {}, mi.uvs = {};
        return false;
    }
    if (indices.size() != indices.capacity())
        indices.shrink_to_fit();
    mi.indices = std::move(indices);
    mi.vertexCount = static_cast<uint32_t>(v);
    mi.indexCount = static_cast<uint32_t>(mi.indices.size());
    mi.twoSided = !topology.closed;
    return true;
}

bool TransformMeshInfo(MeshInfo* mi, const RendererMatrix* m) {
    if (!mi || !m)
        return false;
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
