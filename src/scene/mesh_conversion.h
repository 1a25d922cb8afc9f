#pragma once
// Conversion of one document mesh into a finished MeshInfo, and the baking of a
// block placement into one. These are the bodies of RHScene::CreateMeshInfo and
// TransformMeshInfo, kept free of the scene's bookkeeping so that they can be tested
// and measured alone.
//
// Conversion rules: a document point (x, y, z) becomes (x s, z s, y s) with s the
// unit scale, a normal (x, y, z) becomes sign (x, z, y), with sign -1 for a closed
// mesh whose normals point inward (SolidOrientation -1; its triangles are also
// reversed). Normals come from the vertex normals, else from the face normals (each
// corner takes the normal of the last face that uses it), else are zero. A quad
// (a, b, c, d) gives (a, b, c) and (a, c, d). Texture coordinates come from the
// TexCoordContext. twoSided = the mesh is not closed.
//
// Bad input never leaves the conversion unsafe: a face with a vertex index outside
// the mesh or on a vertex with non-finite coordinates is left out; non-finite
// coordinates become 0, non-finite normals the zero vector, non-finite texture
// coordinates (0, 1); a mesh that keeps no triangle gives no MeshInfo. Everything
// left out or replaced is counted in MeshProblems.
//
// Thread-safety: the functions touch only their arguments; the TexCoordContext reads
// the document, so conversion runs on the main thread.

#include <cstdint>
#include <string>

class ON_Mesh;
class TexCoordContext;
struct MeshInfo;
struct RendererMatrix;

namespace vantro::scene {

// What a conversion had to leave out or replace, summed over an object's meshes.
struct MeshProblems {
    uint32_t facesOutOfRange = 0;     // faces left out: a vertex index outside the mesh
    uint32_t facesOnBadVertices = 0;  // faces left out: a corner with non-finite coordinates
    uint32_t badVertices = 0;         // vertices with non-finite coordinates (sent as 0)
    uint32_t badNormals = 0;          // non-finite normals (sent as zero vectors)
    uint32_t badTexCoords = 0;        // non-finite texture coordinates (sent as (0, 1))
    uint32_t emptyMeshes = 0;         // meshes left out: no vertex or no usable triangle
    uint32_t tooLargeMeshes = 0;      // meshes left out: more than 2^32 - 1 indices
    uint32_t badPlacements = 0;       // block or custom-mesh placements not finite or singular
    uint32_t overflowingMeshes = 0;   // meshes left out: a coordinate beyond a float once in metres and placed

    bool Any() const;
    // One line of text listing the non-zero counts, e.g. "2 faces with vertex indices
    // out of range, 1 empty mesh left out". Empty when !Any().
    std::u16string Describe() const;
};

// True when every position of mi is a finite number. Finite document coordinates can
// pass the largest float once scaled to metres or placed; such a mesh must not reach
// the renderer or a file.
bool PositionsFinite(const MeshInfo& mi);

// What the conversion needs from the mesh's topology: the SDK's SolidOrientation (-1
// closed with inward normals, +1 closed outward, 0 otherwise) and IsClosed.
struct MeshTopology {
    int orientation = 0;
    bool closed = false;
};
// Asks the SDK (SolidOrientation, and IsClosed only when the orientation leaves it
// open: a mesh with an orientation is closed). These are whole-mesh edge analyses,
// the most expensive part of a conversion.
MeshTopology MeshTopologyOf(const ON_Mesh& mesh);

// Fills mi's geometry (id and materialId are left alone) from mesh with the given
// topology (MeshTopologyOf(mesh)). ctx may be null (then every vertex gets (0, 1));
// when given, PrepareMesh(mesh) must have been called on it. False when the mesh
// yields no triangle: mi is then left empty.
bool ConvertMesh(const ON_Mesh& mesh, const MeshTopology& topology, float unitScale, const TexCoordContext* ctx,
                 MeshInfo& mi, MeshProblems& problems);
// The same, asking the SDK for the topology.
bool ConvertMesh(const ON_Mesh& mesh, float unitScale, const TexCoordContext* ctx, MeshInfo& mi,
                 MeshProblems& problems);

}  // namespace vantro::scene

// Applies a placement to mi: positions become the first three components of
// (p, 1) x m (no division by w), normals those of (n, 1) x N with N the normal matrix
// of m (not renormalised). False when the normal matrix does not exist (singular or
// non-finite m): positions are transformed all the same, normals become zero.
// Null arguments: nothing, false.
bool TransformMeshInfo(MeshInfo* mi, const RendererMatrix* m);
