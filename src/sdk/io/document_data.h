#pragma once
// DocumentData: a document as read from JSON, before it goes into a CRhinoDoc. The
// reader parses into it (document_parser.h), checks every cross-reference on it
// (document_checker.h) and only then builds the document (document_builder.h), so a
// refused file never touches a document.
//
// Entries hold the SDK's own value types, so building copies nothing large: meshes are
// shared pointers handed to the objects as they are.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sdk/meshing/surface_geometry.h"
#include "sdk/meshing/triangle_mesh.h"
#include "sdk/geometry/on.h"
#include "sdk/geometry/on_bitmap.h"
#include "sdk/document/on_instance_definition.h"
#include "sdk/document/on_layer.h"
#include "sdk/document/on_material.h"
#include "sdk/geometry/on_mesh.h"
#include "sdk/document/on_object_attributes.h"
#include "sdk/geometry/on_texture_mapping.h"
#include "sdk/geometry/on_uuid.h"
#include "sdk/geometry/on_viewport.h"
#include "sdk/geometry/on_xform.h"

namespace vantro::docio {

struct RenderContentData {
    ON_UUID id;
    ON_UUID typeId;
    ON_wString name;
};

struct InstanceDefinitionData {
    ON_InstanceDefinition definition;
    std::vector<ON_UUID> members;
};

struct ObjectData {
    unsigned int type = ON::unknown_object_type;
    ON_3dmObjectAttributes attributes;
    // mesh objects: their mesh; other meshable types: their cached render meshes.
    std::shared_ptr<ON_Mesh> mesh;
    std::vector<std::shared_ptr<ON_Mesh>> renderMeshes;
    // breps and extrusions (as breps), SubDs: the exact geometry, for the host to mesh
    // when the file has no render meshes for them.
    std::shared_ptr<const meshing::Brep> brep;
    std::shared_ptr<const meshing::SubD> subd;
    // The render meshes were made by the host's mesher, not read from the file: the
    // object carries them as meshes built on request.
    bool meshedByHost = false;
    // instance references
    bool isInstance = false;
    ON_UUID definitionId;
    ON_Xform instanceXform;
};

struct ViewData {
    ON_wString name;
    ON_Viewport viewport;
};

// Application settings a document file may carry; applied by whoever opens it.
struct AppSettingsData {
    std::optional<ON_Material> defaultMaterial;
    std::optional<ON_wString> autoSaveFile;
    std::optional<bool> autoSaveEnabled;
    std::optional<std::vector<ON_wString>> searchPaths;
};

struct DocumentData {
    ON::LengthUnitSystem units = ON::LengthUnitSystem::Millimeters;
    double absoluteTolerance = 0;  // 0: none given
    meshing::MeshSettings meshSettings;
    std::vector<ON_Layer> layers;
    std::vector<ON_Material> materials;
    std::vector<RenderContentData> renderContents;
    std::vector<ON_TextureMapping> textureMappings;
    std::vector<ON_Bitmap> bitmaps;
    std::vector<InstanceDefinitionData> definitions;
    std::vector<ObjectData> objects;
    std::vector<ViewData> views;
    int activeView = -1;  // -1: none given (the first view, if any)
    AppSettingsData appSettings;
    // The file's own "warnings" entries.
    std::vector<std::string> fileWarnings;
};

}  // namespace vantro::docio
