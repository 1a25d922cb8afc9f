#pragma once
// TexCoordContext: produces the one set of texture coordinates per vertex that the
// renderer receives, following the material's texture channel:
//   0    the mesh's own texture coordinates (when it has one per vertex);
//   -14  world projection: the vertex position, through the material's texture
//        transform;
//   -13  world box projection of position and normal (CRhRdkTexture::WcsBoxMapping),
//        through the texture transform;
//   else the coordinates the document's texture-mapping table caches for the
//        object's mapping of that channel (or the mesh's own when there are none),
//        through the texture transform.
// V is flipped (1 - v); a vertex without coordinates gets (0, 1).
//
// One context per AddObject call; SetMaterial per material, PrepareMesh per mesh,
// then TexCoordAt per vertex. Main thread only (it reads the document).

#include <cstdint>
#include <memory>

#include "sdk/geometry/on_mesh.h"
#include "sdk/geometry/on_point.h"
#include "sdk/geometry/on_uuid.h"
#include "sdk/geometry/on_xform.h"

class CRhinoDoc;
class CRhinoObject;
struct MaterialInfo;
struct ON_MappingChannel;

class TexCoordContext {
public:
    static constexpr int32_t kWorldProjection = -14;
    static constexpr int32_t kWorldBoxProjection = -13;

    // pluginId = the application's default render plug-in; doc may be null (then no
    // mapping coordinates are ever looked up).
    explicit TexCoordContext(CRhinoDoc* doc);
    TexCoordContext(const TexCoordContext&) = delete;
    TexCoordContext& operator=(const TexCoordContext&) = delete;

    // Back to channel 0 with no mapping, mesh or cached coordinates, identity transform.
    void Reset();
    // Takes the material's channel; when the material carries a texture and the
    // channel is not 0, also the object's mapping channel for pluginId (if any) and
    // the material's texture transform. Null object or material: just Reset.
    void SetMaterial(const CRhinoObject* object, const MaterialInfo* material);
    // Sets the mesh to convert next (may be null) and decides whether coordinates can
    // be produced for it (see enabled). For a mapped channel this copies the mesh and
    // asks the document's mapping table for its cached coordinates.
    void PrepareMesh(const ON_Mesh* mesh);
    // Coordinates of vertex i at document position p with normal n (either may be
    // null). Any i: indices without data give (0, 1).
    ON_2fPoint TexCoordAt(int i, const ON_3fPoint* p, const ON_3fVector* n) const;

    // Channel 0 with one coordinate per vertex: the caller may read the mesh's own
    // coordinates directly (TexCoordAt would give (t.x, 1 - t.y)).
    bool UsesOwnCoordinates() const { return enabled && channel == 0; }

    ON_UUID pluginId;
    CRhinoDoc* doc = nullptr;
    int enabled = 0;
    int32_t channel = 0;
    const ON_MappingChannel* mappingChannel = nullptr;
    std::unique_ptr<ON_Mesh> meshCopy;
    const ON_TextureCoordinates* cached = nullptr;
    const ON_Mesh* mesh = nullptr;
    ON_Xform transform;
};
