// RHScene mesh extraction: where an object's render meshes come from (custom meshes,
// its own render meshes, meshes built on request), the walk through block instances
// with their accumulated placement, and the entry of converted meshes into the scene.

#include <cassert>

#include "materials/material_manager.h"
#include "mesh_conversion.h"
#include "scene/render_mesh_request.h"
#include "scene/rh_scene.h"
#include "tex_coord_context.h"
#include "sdk/geometry/on_uuid.h"
#include "sdk/render/rdk_custom_render_meshes.h"
#include "sdk/app/rhino_app.h"
#include "sdk/document/block_nesting.h"
#include "sdk/document/rhino_doc.h"
#include "sdk/document/rhino_instance_definition_table.h"
#include "sdk/document/rhino_object.h"
#include "sdk/render/rhino_render_meshes.h"

using namespace vantro::scene;

RendererMatrix RHScene::ToRendererMatrix(const ON_Xform* x) const { return ::ToRendererMatrix(x, unitScale); }

bool RHScene::AddObject(const CRhinoObject* object, const CRhinoObject* top, const RendererMatrix* transform) {
    const RendererMatrix identity;
    return addObjectAt(object, top, transform ? *transform : identity, 0);
}

bool RHScene::addObjectAt(const CRhinoObject* object, const CRhinoObject* top, const RendererMatrix& transform,
                          int depth) {
    if (!object || !object->IsVisible())
        return false;
    const ON::object_type type = object->ObjectType();
    if (!exportNodes && (type == ON::point_object || type == ON::pointset_object))
        return false;
    const CRhinoObject* topObject = top ? top : object;
    if (type == ON::instance_reference)
        return addBlockInstance(object, topObject, transform, depth);

    MeshProblems problems;
    const bool added = addObjectMeshes(object, topObject, transform, problems);
    reportProblems(object, problems);
    if (!added)
        return false;
    if (exportNodes && object != topObject)
        nodes.push_back(std::make_unique<NodeInfo>(NodeInfo{NextNodeId(), object->Id(), transform}));
    return true;
}

bool RHScene::addBlockInstance(const CRhinoObject* object, const CRhinoObject* topObject,
                               const RendererMatrix& transform, int depth) {
    const CRhinoInstanceObject* instance = CRhinoInstanceObject::Cast(object);
    const CRhinoInstanceDefinition* definition = instance ? instance->InstanceDefinition() : nullptr;
    ON_SimpleArray<const CRhinoObject*> children;
    if (!definition || definition->GetObjects(children) == 0)
        return true;
    const ON_Xform placement = instance->InstanceXform();
    const RendererMatrix combined = Multiply(ToRendererMatrix(&placement), transform);
    if (!IsFinite(combined) || !IsFollowedBlockLevel(depth)) {
        MeshProblems problems;
        ++problems.badPlacements;
        reportProblems(object, problems);
        return true;
    }
    for (const CRhinoObject* child : children)
        addObjectAt(child, topObject, combined, depth + 1);
    return true;
}

bool RHScene::addObjectMeshes(const CRhinoObject* object, const CRhinoObject* topObject,
                              const RendererMatrix& transform, MeshProblems& problems) {
    ObjectEntry& entry = objects[topObject->RuntimeSerialNumber()];
    if (HasCustomMeshes(object))
        return addCustomMeshes(object, entry, transform, problems);

    // The object path: its current render meshes, else meshes built on request. The
    // references keep built meshes alive while they are converted.
    ON_SimpleArray<const ON_Mesh*> sourceMeshes;
    ON_ClassArray<CRhinoObjRef> references;
    const int count = object->MeshCount(ON::render_mesh, nullptr);
    if (count > 0) {
        sourceMeshes.Reserve(count);
        object->GetMeshes(ON::render_mesh, sourceMeshes);
    } else {
        ON_SimpleArray<const CRhinoObject*> one;
        one.Append(object);
        const RenderMeshRequest request;  // the mesh update this raises is ours, not an edit
        sourceMeshes.Reserve(RhinoGetRenderMeshes(one, references, true, false, true));
        for (const CRhinoObjRef& reference : references)
            if (reference.Mesh())
                sourceMeshes.Append(reference.Mesh());
    }
    if (!materials)
        return true;
    MaterialInfo& material = materials->FindByIndex(MaterialIndexOf(object, topObject));
    pendingMaterials.insert(static_cast<uint64_t>(material.id));
    TexCoordContext ctx(doc);
    ctx.SetMaterial(object, &material);
    const bool placed = object != topObject;
    for (const ON_Mesh* mesh : sourceMeshes)
        addConverted(CreateMeshInfo(mesh, &material, &ctx, &problems), entry, placed ? &transform : nullptr, problems);
    return true;
}

bool RHScene::addCustomMeshes(const CRhinoObject* object, ObjectEntry& entry, const RendererMatrix& transform,
                              MeshProblems& problems) {
    const CRhinoView* view = RhinoApp().ActiveView();
    CRhRdkCustomRenderMeshes collection(object);
    if (!view || !doc ||
        !RhRdkCustomRenderMeshManager().CustomMeshes(view->ActiveViewport().VP(), ON_nil_uuid, *doc, collection, 0,
                                                     nullptr))
        return false;
    const ON_Xform placement = collection.GetInstanceTransform();
    const RendererMatrix combined = Multiply(ToRendererMatrix(&placement), transform);
    if (!IsFinite(combined)) {
        ++problems.badPlacements;
        return true;
    }
    if (!materials)
        return true;
    TexCoordContext ctx(doc);
    for (int i = 0; i < collection.Count(); ++i) {
        const CRhinoMaterial& component =
            object->ObjectMaterial(ON_COMPONENT_INDEX(ON_COMPONENT_INDEX::brep_face, i), RhinoDefaultRendererId());
        MaterialInfo* material =
            materials->FindByKeys(MaterialNameKey(&component), MaterialRenderCrc(&component), true);
        if (!material)
            material = &materials->DefaultMaterial();
        pendingMaterials.insert(static_cast<uint64_t>(material->id));
        ctx.SetMaterial(object, material);
        addConverted(CreateMeshInfo(collection.Mesh(i), material, &ctx, &problems), entry, &combined, problems);
    }
    return true;
}

void RHScene::addConverted(MeshInfo* mi, ObjectEntry& entry, const RendererMatrix* transform, MeshProblems& problems) {
    if (!mi)
        return;
    if (transform && !TransformMeshInfo(mi, transform))
        ++problems.badPlacements;
    if (!PositionsFinite(*mi)) {
        ++problems.overflowingMeshes;
        if (auto set = materialMeshes.find(mi->materialId); set != materialMeshes.end()) {
            set->second.erase(mi);
            if (set->second.empty())
                materialMeshes.erase(set);
        }
        meshes.erase(static_cast<uint64_t>(mi->id));
        return;
    }
    entry.meshIds.push_back(static_cast<uint64_t>(mi->id));
}

MeshInfo* RHScene::CreateMeshInfo(const ON_Mesh* mesh, const MaterialInfo* material, TexCoordContext* ctx,
                                  MeshProblems* problems) {
    if (!mesh || !material)
        return nullptr;
    if (ctx)
        ctx->PrepareMesh(mesh);
    auto mi = std::make_unique<MeshInfo>();
    mi->id = NextMeshId();
    mi->materialId = static_cast<uint64_t>(material->id);
    MeshProblems ignored;
    MeshProblems& counts = problems ? *problems : ignored;
    if (!ConvertMesh(*mesh, unitScale, ctx, *mi, counts))
        return nullptr;
    if (!PositionsFinite(*mi)) {
        ++counts.overflowingMeshes;
        return nullptr;
    }
    MeshInfo* raw = mi.get();
    materialMeshes[raw->materialId].insert(raw);
    meshes.emplace(static_cast<uint64_t>(raw->id), std::move(mi));
    return raw;
}

void RHScene::reportProblems(const CRhinoObject* object, const MeshProblems& problems) {
    if (!problems.Any() || !object)
        return;
    if (!reportedObjects_.insert(object->RuntimeSerialNumber()).second)
        return;
    ON_wString line(u"Velora Vantro: object ");
    line += ON_UuidToString(object->Id());
    line += u": ";
    line += ON_wString(problems.Describe());
    line += u".\n";
    RhinoApp().PrintText(line);
}
