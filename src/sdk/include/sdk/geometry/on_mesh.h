#pragma once
// ON_Mesh: a polygon mesh of triangles and quads with optional vertex normals, face
// normals and one set of texture coordinates, plus texture coordinates computed for
// texture mappings (m_TC). Render meshes are data objects carry; the stand-in never
// creates meshes from other geometry.
//
// Faces: ON_MeshFace::vi holds four vertex indices; a triangle repeats its third
// index (vi[2] == vi[3]), a quad has four distinct corners.
// Thread-safety: a value type; const member functions may run concurrently (the
// topology cache below has its own lock).

#include <cstdint>
#include <mutex>

#include "sdk/geometry/on_array.h"
#include "sdk/geometry/on_point.h"
#include "sdk/geometry/on_uuid.h"
#include "sdk/geometry/on_xform.h"

class ON_TextLog;

struct ON_MeshFace {
    int vi[4] = {0, 0, 0, 0};

    bool IsTriangle() const { return vi[2] == vi[3]; }
    bool IsQuad() const { return vi[2] != vi[3]; }
    // Every index in [0, vertexCount) and the corners of each edge distinct.
    bool IsValid(int vertexCount) const;
    friend bool operator==(const ON_MeshFace&, const ON_MeshFace&) = default;
};

// Identifies which texture mapping produced a set of texture coordinates and with
// which object transformation.
struct ON_MappingTag {
    ON_UUID m_mapping_id;
    unsigned int m_mapping_type = 0;  // ON_TextureMapping::TYPE
    uint32_t m_mapping_crc = 0;
    ON_Xform m_mesh_xform;
    friend bool operator==(const ON_MappingTag&, const ON_MappingTag&) = default;
};

// Texture coordinates computed by a texture mapping for every vertex of a mesh.
class ON_TextureCoordinates {
public:
    ON_MappingTag m_tag;
    int m_dim = 2;                   // 2 or 3 meaningful components
    ON_SimpleArray<ON_3fPoint> m_T;  // one per mesh vertex
};

class ON_Mesh {
public:
    ON_SimpleArray<ON_3fPoint> m_V;             // vertices
    ON_SimpleArray<ON_MeshFace> m_F;            // faces
    ON_SimpleArray<ON_3fVector> m_N;            // vertex normals (used when count == vertex count)
    ON_SimpleArray<ON_3fVector> m_FN;           // face normals (used when count == face count)
    ON_SimpleArray<ON_2fPoint> m_T;             // texture coordinates (used when count == vertex count)
    ON_ClassArray<ON_TextureCoordinates> m_TC;  // coordinates cached for texture mappings

    int VertexCount() const { return m_V.Count(); }
    int FaceCount() const { return m_F.Count(); }
    int TriangleCount() const;
    int QuadCount() const;

    bool HasVertexNormals() const { return m_V.Count() > 0 && m_N.Count() == m_V.Count(); }
    bool HasFaceNormals() const { return m_F.Count() > 0 && m_FN.Count() == m_F.Count(); }
    bool HasTextureCoordinates() const { return m_V.Count() > 0 && m_T.Count() == m_V.Count(); }

    // Builders. SetVertex/SetVertexNormal/SetTextureCoord grow the arrays as needed
    // (index must be >= 0); SetTriangle/SetQuad grow the face list. False for a
    // negative index.
    int AppendVertex(const ON_3dPoint& p);  // returns the new vertex index
    bool SetVertex(int index, const ON_3dPoint& p);
    bool SetVertexNormal(int index, const ON_3dVector& n);
    bool SetTextureCoord(int index, double s, double t);
    bool SetTriangle(int faceIndex, int a, int b, int c);
    bool SetQuad(int faceIndex, int a, int b, int c, int d);

    // Recomputes face normals from the corner positions (Newell's method for quads);
    // degenerate faces get a zero normal. False when the mesh has no faces.
    bool ComputeFaceNormals();
    // Vertex normals as the normalised sum of the face normals around each vertex.

    // Every face valid for the vertex count, counts of normals and texture
    // coordinates either zero or matching, every number finite. Never throws.
    bool IsValid(ON_TextLog* log = nullptr) const;

    // True when every edge is shared by at least two faces. Vertices at exactly the
    // same position count as one (meshes split vertices for normals and texture
    // seams), so a box with 24 vertices is closed. A mesh without faces is not.
    bool IsClosed() const;
    // +1: closed, every edge shared by exactly two faces that traverse it in opposite
    // directions, normals pointing outward (positive enclosed volume); -1: the same
    // with normals pointing inward; 0: anything else (open, non-manifold, badly
    // oriented, or zero volume).
    int SolidOrientation() const;
    // IsClosed and SolidOrientation come from one edge analysis, kept with a digest of
    // the vertex positions and faces it was made from: asking both costs one analysis,
    // and any change to m_V or m_F (through the builders, Transform or the arrays
    // themselves) is seen by the next question, which analyses again. Copies start
    // without the cache. Never throw: without memory for the analysis the answers are
    // false and 0.

    // Applies the transformation to vertices and (with the inverse transpose) to the
    // normals, which are re-unitised; cached mapping coordinates are dropped. A
    // transformation with negative determinant also reverses face orientation so
    // that normals keep matching the winding. False for a non-invertible xform.
    bool Transform(const ON_Xform& xform);

    // Drops the coordinates cached for mappings.

private:
    // The last edge analysis. Copying or assigning a mesh leaves the target's cache
    // empty: the answers belong to the arrays they were computed from.
    class TopologyCache {
    public:
        TopologyCache() = default;
        TopologyCache(const TopologyCache&) {}
        TopologyCache& operator=(const TopologyCache&) {
            std::lock_guard<std::mutex> hold(lock);
            valid = false;
            return *this;
        }

        std::mutex lock;
        bool valid = false;   // guarded by lock, as are the fields below
        uint64_t digest = 0;  // meshShapeDigest of m_V and m_F when computed
        bool closed = false;
        int orientation = 0;
    };
    struct Topology {
        bool closed;
        int orientation;
    };
    Topology CachedTopology() const;

    mutable TopologyCache m_topology;
};
