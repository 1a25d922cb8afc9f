#include "sdk/document/rhino_object.h"

#include <atomic>
#include <deque>
#include <unordered_set>

#include "sdk/document/block_nesting.h"
#include "sdk/document/rhino_doc.h"
#include "sdk/document/rhino_instance_definition_table.h"
#include "sdk/document/rhino_layer_table.h"
#include "sdk/document/rhino_material_table.h"

namespace {

std::atomic<unsigned int> nextObjectSerial{1};

bool surfaceLike(ON::object_type type) {
    return type == ON::mesh_object || type == ON::brep_object || type == ON::surface_object ||
           type == ON::extrusion_object || type == ON::subd_object;
}

bool countsAsRender(ON::mesh_type type) { return type == ON::render_mesh || type == ON::any_mesh; }

// Whether an instance places anything meshable: breadth first over the definitions
// it reaches, each looked at once (at the shallowest level it is reached, which is
// the one the nesting rule judges), so that blocks placing each other many times
// over cost their count, not their expansion.
bool instanceMeshable(const CRhinoInstanceObject& top) {
    std::unordered_set<const CRhinoInstanceDefinition*> seen;
    std::deque<std::pair<const CRhinoInstanceDefinition*, int>> pending;  // definition, enclosing instances
    if (const CRhinoInstanceDefinition* idef = top.InstanceDefinition(); idef && seen.insert(idef).second)
        pending.emplace_back(idef, 0);
    while (!pending.empty()) {
        const auto [idef, enclosing] = pending.front();
        pending.pop_front();
        for (int i = 0; i < idef->ObjectCount(); ++i) {
            const CRhinoObject& member = *idef->Object(i);
            const CRhinoInstanceObject* instance = CRhinoInstanceObject::Cast(&member);
            if (!instance) {
                if (surfaceLike(member.ObjectType()) || !member.RenderMeshes().empty())
                    return true;
                continue;
            }
            const CRhinoInstanceDefinition* inner = instance->InstanceDefinition();
            if (inner && IsFollowedBlockLevel(enclosing + 1) && seen.insert(inner).second)
                pending.emplace_back(inner, enclosing + 1);
        }
    }
    return false;
}

bool objectMeshable(const CRhinoObject& object) {
    if (const CRhinoInstanceObject* instance = CRhinoInstanceObject::Cast(&object))
        return instanceMeshable(*instance);
    return surfaceLike(object.ObjectType()) || !object.RenderMeshes().empty();
}

CRhinoObject::MeshList transformed(const CRhinoObject::MeshList& meshes, const ON_Xform& xform, bool& ok) {
    CRhinoObject::MeshList out;
    out.reserve(meshes.size());
    for (const auto& mesh : meshes) {
        auto copy = std::make_shared<ON_Mesh>(*mesh);
        ok = ok && copy->Transform(xform);
        out.push_back(std::move(copy));
    }
    return out;
}

}  // namespace

CRhinoObject::CRhinoObject(ON::object_type type, const ON_3dmObjectAttributes& attributes)
    : type_(type), serial_(nextObjectSerial.fetch_add(1)), attributes_(attributes) {}

CRhinoObject::~CRhinoObject() = default;

unsigned int CRhinoObject::DocumentRuntimeSerialNumber() const { return doc_ ? doc_->RuntimeSerialNumber() : 0; }

bool CRhinoObject::IsVisible() const {
    if (deleted_ || !doc_ || !attributes_.IsVisible())
        return false;
    if (!idefGeometry_ && attributes_.Mode() == ON::hidden_object)
        return false;
    return doc_->m_layer_table.LayerIsVisible(attributes_.m_layer_index);
}

const CRhinoLayer& CRhinoObject::ObjectLayer() const {
    if (!doc_) {
        static const CRhinoLayer detachedUnset(nullptr);
        return detachedUnset;
    }
    return doc_->m_layer_table[attributes_.m_layer_index];
}

const CRhinoMaterial& CRhinoObject::ObjectMaterial(const ON_COMPONENT_INDEX& ci, const ON_UUID&) const {
    if (!doc_) {
        static const CRhinoMaterial detachedDefault(nullptr);
        return detachedDefault;
    }
    int index = ci.IsSet() ? ComponentMaterialIndex(ci) : -2;
    if (index == -2) {
        switch (attributes_.MaterialSource()) {
            case ON::material_from_object: index = attributes_.m_material_index; break;
            case ON::material_from_layer:
            case ON::material_from_parent: {
                const CRhinoLayerTable& layers = doc_->m_layer_table;
                index = layers.IsValidLayerTableIndex(attributes_.m_layer_index)
                            ? layers[attributes_.m_layer_index].RenderMaterialIndex()
                            : -1;
                break;
            }
            default: index = -1; break;
        }
    }
    return doc_->m_material_table[index];
}

bool CRhinoObject::IsMeshable(ON::mesh_type type) const {
    if (!countsAsRender(type) && type != ON::default_mesh)
        return !renderMeshes_.empty();
    return objectMeshable(*this);
}

int CRhinoObject::MeshCount(ON::mesh_type type, const ON_MeshParameters*) const {
    if (!countsAsRender(type) || !meshesCached_)
        return 0;
    return static_cast<int>(renderMeshes_.size());
}

int CRhinoObject::GetMeshes(ON::mesh_type type, ON_SimpleArray<const ON_Mesh*>& meshes) const {
    const int n = MeshCount(type);
    for (int i = 0; i < n; ++i)
        meshes.Append(renderMeshes_[static_cast<size_t>(i)].get());
    return n;
}

void CRhinoObject::SetRenderMeshes(MeshList meshes, bool cached) {
    std::erase(meshes, nullptr);
    renderMeshes_ = std::move(meshes);
    meshesCached_ = cached;
}

bool CRhinoObject::BuildRenderMeshes() {
    if (meshesCached_ || renderMeshes_.empty())
        return false;
    meshesCached_ = true;
    return true;
}

void CRhinoObject::SetCustomRenderMeshes(MeshList meshes, const ON_Xform& instanceXform, bool deliverable) {
    std::erase(meshes, nullptr);
    hasCustom_ = true;
    customMeshes_ = std::move(meshes);
    customXform_ = instanceXform;
    customDeliverable_ = deliverable;
}

void CRhinoObject::SetComponentMaterialIndex(const ON_COMPONENT_INDEX& ci, int materialIndex) {
    if (materialIndex < 0)
        componentMaterials_.erase(ci);
    else
        componentMaterials_[ci] = materialIndex;
}

int CRhinoObject::ComponentMaterialIndex(const ON_COMPONENT_INDEX& ci) const {
    const auto it = componentMaterials_.find(ci);
    return it == componentMaterials_.end() ? -2 : it->second;
}

bool CRhinoObject::SetAttributes(const ON_3dmObjectAttributes& attributes) {
    if (doc_)
        return false;
    attributes_ = attributes;
    return true;
}

void CRhinoObject::copyDataTo(CRhinoObject& other) const {
    other.attributes_ = attributes_;
    other.renderMeshes_ = renderMeshes_;
    other.meshesCached_ = meshesCached_;
    other.hasCustom_ = hasCustom_;
    other.customMeshes_ = customMeshes_;
    other.customXform_ = customXform_;
    other.customDeliverable_ = customDeliverable_;
    other.componentMaterials_ = componentMaterials_;
}

std::unique_ptr<CRhinoObject> CRhinoObject::DuplicateObject() const {
    auto copy = std::make_unique<CRhinoObject>(type_);
    copyDataTo(*copy);
    return copy;
}

bool CRhinoObject::Transform(const ON_Xform& xform) {
    if (xform.Inverse() == ON_Xform::ZeroTransformation)
        return false;
    bool ok = true;
    MeshList meshes = transformed(renderMeshes_, xform, ok);
    MeshList custom = transformed(customMeshes_, xform, ok);
    if (!ok)
        return false;
    renderMeshes_ = std::move(meshes);
    customMeshes_ = std::move(custom);
    return true;
}

CRhinoMeshObject::CRhinoMeshObject(const ON_Mesh& mesh, const ON_3dmObjectAttributes& attributes)
    : CRhinoObject(ON::mesh_object, attributes), mesh_(std::make_shared<ON_Mesh>(mesh)) {
    SetRenderMeshes({mesh_}, true);
}

const CRhinoMeshObject* CRhinoMeshObject::Cast(const CRhinoObject* object) {
    return dynamic_cast<const CRhinoMeshObject*>(object);
}

std::unique_ptr<CRhinoObject> CRhinoMeshObject::DuplicateObject() const {
    auto copy = std::make_unique<CRhinoMeshObject>(*mesh_);
    copyDataTo(*copy);
    // The duplicate renders its own mesh, not the original's.
    copy->SetRenderMeshes({copy->mesh_}, true);
    return copy;
}

bool CRhinoMeshObject::Transform(const ON_Xform& xform) {
    auto copy = std::make_shared<ON_Mesh>(*mesh_);
    if (!copy->Transform(xform) || !CRhinoObject::Transform(xform))
        return false;
    mesh_ = std::move(copy);
    SetRenderMeshes({mesh_}, true);
    return true;
}

CRhinoInstanceObject::CRhinoInstanceObject(const ON_UUID& definitionId, const ON_Xform& xform,
                                           const ON_3dmObjectAttributes& attributes)
    : CRhinoObject(ON::instance_reference, attributes), definitionId_(definitionId), xform_(xform) {}

const CRhinoInstanceObject* CRhinoInstanceObject::Cast(const CRhinoObject* object) {
    return dynamic_cast<const CRhinoInstanceObject*>(object);
}

const CRhinoInstanceDefinition* CRhinoInstanceObject::InstanceDefinition() const {
    const CRhinoDoc* doc = Document();
    if (!doc)
        return nullptr;
    const CRhinoInstanceDefinitionTable& table = doc->m_instance_definition_table;
    return table.InstanceDefinition(table.FindInstanceDefinition(definitionId_, true));
}

bool CRhinoInstanceObject::IsMeshable(ON::mesh_type type) const {
    if (!countsAsRender(type) && type != ON::default_mesh)
        return false;
    return instanceMeshable(*this);
}

std::unique_ptr<CRhinoObject> CRhinoInstanceObject::DuplicateObject() const {
    auto copy = std::make_unique<CRhinoInstanceObject>(definitionId_, xform_);
    copyDataTo(*copy);
    return copy;
}

bool CRhinoInstanceObject::Transform(const ON_Xform& xform) {
    if (xform.Inverse() == ON_Xform::ZeroTransformation)
        return false;
    xform_ = xform * xform_;
    return true;
}
