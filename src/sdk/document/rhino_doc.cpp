#include "sdk/document/rhino_doc.h"

#include <algorithm>
#include <atomic>
#include <unordered_map>

#include "sdk/app/rhino_app.h"
#include "sdk/app/rhino_display_conduit.h"
#include "sdk/document/rhino_event_watcher.h"
#include "sdk_internal.h"

namespace {

std::atomic<unsigned int> nextDocSerial{1};

// Main-thread registries behind the FromRuntimeSerialNumber lookups.
std::unordered_map<unsigned int, CRhinoDoc*>& documents() {
    static auto* map = new std::unordered_map<unsigned int, CRhinoDoc*>();
    return *map;
}

std::unordered_map<unsigned int, CRhinoObject*>& objectsBySerial() {
    static auto* map = new std::unordered_map<unsigned int, CRhinoObject*>();
    return *map;
}

// Moving an object moves the texture mappings it uses with it.
void moveMappings(ON_3dmObjectAttributes& attributes, const ON_Xform& xform) {
    for (ON_MappingRef& ref : attributes.m_rendering_attributes.m_mappings)
        for (ON_MappingChannel& channel : ref.m_mapping_channels)
            channel.m_object_xform = xform * channel.m_object_xform;
}

}  // namespace

CRhinoDoc::CRhinoDoc()
    : m_layer_table(*this),
      m_material_table(*this),
      m_texture_mapping_table(*this),
      m_instance_definition_table(*this),
      m_bitmap_table(*this),
      serial_(nextDocSerial.fetch_add(1)) {
    documents()[serial_] = this;
}

CRhinoDoc::~CRhinoDoc() {
    views_.clear();
    for (const auto& object : objects_)
        objectsBySerial().erase(object->RuntimeSerialNumber());
    documents().erase(serial_);
}

CRhinoDoc* CRhinoDoc::FromRuntimeSerialNumber(unsigned int docSerial) {
    const auto it = documents().find(docSerial);
    return it == documents().end() ? nullptr : it->second;
}

const CRhinoObject* CRhinoObject::FromRuntimeSerialNumber(unsigned int docSerial, unsigned int objectSerial) {
    const auto it = objectsBySerial().find(objectSerial);
    if (it == objectsBySerial().end())
        return nullptr;
    const CRhinoDoc* doc = it->second->Document();
    return doc && doc->RuntimeSerialNumber() == docSerial ? it->second : nullptr;
}

ON_wString CRhinoDoc::GetTitle() const { return vantro::sdk::fileNamePart(path_); }

void CRhinoDoc::raise(const std::function<void(CRhinoEventWatcher&)>& call) const {
    if (events_)
        RhinoApp().raise(call);
}

void CRhinoDoc::fail(bool quiet, const ON_wString& message) const {
    if (!quiet)
        RhinoApp().PrintText(message);
}

bool CRhinoDoc::checkAttributes(const ON_3dmObjectAttributes& attributes, bool quiet) const {
    if (!m_layer_table.IsValidLayerTableIndex(attributes.m_layer_index)) {
        fail(quiet, ON_wString::FormatToString(u"Layer index %d is not valid.\n", attributes.m_layer_index));
        return false;
    }
    if (attributes.m_material_index < -1) {
        fail(quiet, ON_wString::FormatToString(u"Material index %d is not valid.\n", attributes.m_material_index));
        return false;
    }
    return true;
}

bool CRhinoDoc::checkObject(const CRhinoObject& object, bool quiet) const {
    if (!checkAttributes(object.Attributes(), quiet))
        return false;
    if (const CRhinoInstanceObject* instance = CRhinoInstanceObject::Cast(&object)) {
        if (m_instance_definition_table.FindInstanceDefinition(instance->InstanceDefinitionId(), true) < 0) {
            fail(quiet, u"The block definition of an instance does not exist.\n");
            return false;
        }
        if (!instance->InstanceXform().IsValid()) {
            fail(quiet, u"The placement of an instance is not valid.\n");
            return false;
        }
    }
    return true;
}

CRhinoObject* CRhinoDoc::adopt(std::unique_ptr<CRhinoObject> object, bool idefGeometry) {
    CRhinoObject* raw = object.get();
    raw->doc_ = this;
    raw->idefGeometry_ = idefGeometry;
    raw->deleted_ = false;
    if (ON_UuidIsNil(raw->attributes_.m_uuid) || byId_.count(raw->attributes_.m_uuid))
        raw->attributes_.m_uuid = ON_CreateUuid();
    byId_[raw->attributes_.m_uuid] = raw;
    objectsBySerial()[raw->RuntimeSerialNumber()] = raw;
    order_.push_back(raw);
    objects_.push_back(std::move(object));
    return raw;
}

void CRhinoDoc::destroy(CRhinoObject* object) {
    const auto it = byId_.find(object->Id());
    if (it != byId_.end() && it->second == object)
        byId_.erase(it);
    objectsBySerial().erase(object->RuntimeSerialNumber());
    std::erase(order_, object);
    std::erase_if(objects_, [&](const std::unique_ptr<CRhinoObject>& o) { return o.get() == object; });
}

CRhinoObject* CRhinoDoc::liveModelObject(const CRhinoObjRef& objRef, bool quiet, const char16_t* action) const {
    CRhinoObject* object = const_cast<CRhinoObject*>(objRef.Object());
    if (!object || object->doc_ != this || object->deleted_ || object->idefGeometry_) {
        fail(quiet, ON_wString::FormatToString(u"Cannot %ls: the object is not in the document.\n", action));
        return nullptr;
    }
    return object;
}

CRhinoObject* CRhinoDoc::AddObject(std::unique_ptr<CRhinoObject> object, bool reference) {
    if (!object || object->Document() || !checkObject(*object, false))
        return nullptr;
    CRhinoObject* added = adopt(std::move(object), false);
    added->reference_ = reference;
    raise([&](CRhinoEventWatcher& w) { w.OnAddObject(*this, *added); });
    return added;
}

CRhinoMeshObject* CRhinoDoc::AddMeshObject(const ON_Mesh& mesh, const ON_3dmObjectAttributes* attributes) {
    if (!mesh.IsValid()) {
        fail(false, u"The mesh is not valid.\n");
        return nullptr;
    }
    ON_3dmObjectAttributes a = attributes ? *attributes : ON_3dmObjectAttributes();
    if (!attributes)
        a.m_layer_index = m_layer_table.CurrentLayerIndex();
    return static_cast<CRhinoMeshObject*>(AddObject(std::make_unique<CRhinoMeshObject>(mesh, a)));
}

CRhinoInstanceObject* CRhinoDoc::AddInstanceObject(int idefIndex, const ON_Xform& xform,
                                                   const ON_3dmObjectAttributes* attributes) {
    const CRhinoInstanceDefinition* idef = m_instance_definition_table.InstanceDefinition(idefIndex);
    if (!idef || idef->IsDeleted()) {
        fail(false, ON_wString::FormatToString(u"Block definition %d does not exist.\n", idefIndex));
        return nullptr;
    }
    ON_3dmObjectAttributes a = attributes ? *attributes : ON_3dmObjectAttributes();
    if (!attributes)
        a.m_layer_index = m_layer_table.CurrentLayerIndex();
    return static_cast<CRhinoInstanceObject*>(AddObject(std::make_unique<CRhinoInstanceObject>(idef->Id(), xform, a)));
}

bool CRhinoDoc::DeleteObject(const CRhinoObjRef& objRef, bool quiet, bool ignoreModes) {
    CRhinoObject* object = liveModelObject(objRef, quiet, u"delete");
    if (!object)
        return false;
    if (object->IsLocked() && !ignoreModes) {
        fail(quiet, u"Cannot delete a locked object.\n");
        return false;
    }
    object->deleted_ = true;
    object->selected_ = false;
    byId_.erase(object->Id());
    raise([&](CRhinoEventWatcher& w) { w.OnDeleteObject(*this, *object); });
    return true;
}

bool CRhinoDoc::UndeleteObject(const CRhinoObject* constObject) {
    CRhinoObject* object = const_cast<CRhinoObject*>(constObject);
    if (!object || object->doc_ != this || !object->deleted_ || object->idefGeometry_)
        return false;
    // A replacement took over the id: the old object cannot come back beside it.
    if (byId_.count(object->Id()))
        return false;
    object->deleted_ = false;
    byId_[object->Id()] = object;
    raise([&](CRhinoEventWatcher& w) { w.OnUnDeleteObject(*this, *object); });
    return true;
}

bool CRhinoDoc::PurgeObject(CRhinoObject*& object) {
    if (!object || object->doc_ != this || object->idefGeometry_)
        return false;
    CRhinoObject* purged = object;
    raise([&](CRhinoEventWatcher& w) { w.OnPurgeObject(*this, *purged); });
    destroy(purged);
    object = nullptr;
    return true;
}

bool CRhinoDoc::ModifyObjectAttributes(const CRhinoObjRef& objRef, const ON_3dmObjectAttributes& attributes,
                                       bool quiet) {
    CRhinoObject* object = liveModelObject(objRef, quiet, u"modify attributes");
    if (!object || !checkAttributes(attributes, quiet))
        return false;
    ON_3dmObjectAttributes updated = attributes;
    updated.m_uuid = object->Id();
    if (updated == object->attributes_)
        return true;
    const ON_3dmObjectAttributes old = object->attributes_;
    object->attributes_ = updated;
    if (updated.Mode() == ON::hidden_object)
        object->selected_ = false;
    raise([&](CRhinoEventWatcher& w) { w.OnModifyObjectAttributes(*this, *object, old); });
    return true;
}

bool CRhinoDoc::HideObject(const CRhinoObjRef& objRef, bool) {
    const CRhinoObject* object = liveModelObject(objRef, true, u"hide");
    if (!object)
        return false;
    ON_3dmObjectAttributes a = object->Attributes();
    a.SetMode(ON::hidden_object);
    return ModifyObjectAttributes(objRef, a, true);
}

bool CRhinoDoc::ShowObject(const CRhinoObjRef& objRef, bool) {
    const CRhinoObject* object = liveModelObject(objRef, true, u"show");
    if (!object)
        return false;
    ON_3dmObjectAttributes a = object->Attributes();
    if (a.Mode() == ON::hidden_object)
        a.SetMode(ON::normal_object);
    return ModifyObjectAttributes(objRef, a, true);
}

CRhinoObject* CRhinoDoc::ReplaceObject(const CRhinoObjRef& objRef, std::unique_ptr<CRhinoObject> newObject) {
    CRhinoObject* old = liveModelObject(objRef, false, u"replace");
    if (!old || !newObject || newObject->Document())
        return nullptr;
    newObject->attributes_.m_uuid = old->Id();
    if (!checkObject(*newObject, false))
        return nullptr;
    old->deleted_ = true;
    old->selected_ = false;
    byId_.erase(old->Id());
    CRhinoObject* added = adopt(std::move(newObject), false);
    added->reference_ = old->reference_;
    raise([&](CRhinoEventWatcher& w) { w.OnReplaceObject(*this, *old, *added); });
    raise([&](CRhinoEventWatcher& w) { w.OnDeleteObject(*this, *old); });
    raise([&](CRhinoEventWatcher& w) { w.OnAddObject(*this, *added); });
    return added;
}

CRhinoObject* CRhinoDoc::ReplaceObject(const CRhinoObjRef& objRef, const ON_Mesh& mesh) {
    const CRhinoObject* old = liveModelObject(objRef, false, u"replace");
    if (!old)
        return nullptr;
    if (!mesh.IsValid()) {
        fail(false, u"The mesh is not valid.\n");
        return nullptr;
    }
    return ReplaceObject(objRef, std::make_unique<CRhinoMeshObject>(mesh, old->Attributes()));
}

CRhinoObject* CRhinoDoc::TransformObject(const CRhinoObjRef& objRef, const ON_Xform& xform) {
    const CRhinoObject* old = liveModelObject(objRef, false, u"transform");
    if (!old)
        return nullptr;
    std::unique_ptr<CRhinoObject> moved = old->DuplicateObject();
    if (!xform.IsValid() || !moved->Transform(xform)) {
        fail(false, u"The transformation is not valid.\n");
        return nullptr;
    }
    moveMappings(moved->attributes_, xform);
    return ReplaceObject(objRef, std::move(moved));
}

bool CRhinoDoc::SelectObject(const CRhinoObjRef& objRef, bool select) {
    CRhinoObject* object = liveModelObject(objRef, true, u"select");
    if (!object)
        return false;
    if (select && object->IsHidden())
        return false;
    object->selected_ = select;
    return true;
}

void CRhinoDoc::UnselectAll() {
    for (CRhinoObject* object : order_)
        object->selected_ = false;
}

bool CRhinoDoc::SetObjectRenderMeshes(const CRhinoObjRef& objRef, CRhinoObject::MeshList meshes) {
    CRhinoObject* object = const_cast<CRhinoObject*>(objRef.Object());
    if (!object || object->doc_ != this || object->deleted_)
        return false;
    object->SetRenderMeshes(std::move(meshes), true);
    raise([&](CRhinoEventWatcher& w) { w.OnUpdateObjectMesh(*this, *object); });
    return true;
}

CRhinoObject* CRhinoDoc::LookupObject(const ON_UUID& id) const {
    const auto it = byId_.find(id);
    return it == byId_.end() ? nullptr : it->second;
}

std::unique_ptr<CRhinoObject> CRhinoDoc::scaledForUnits(const CRhinoObject& object, const ON_Xform& scale) const {
    std::unique_ptr<CRhinoObject> copy = object.DuplicateObject();
    if (auto* instance = dynamic_cast<CRhinoInstanceObject*>(copy.get())) {
        // The definition's geometry is scaled too, so the placement is conjugated:
        // S X S^-1 applied to S p gives S X p.
        instance->xform_ = scale * instance->xform_ * scale.Inverse();
    } else {
        copy->Transform(scale);
    }
    moveMappings(copy->attributes_, scale);
    return copy;
}

bool CRhinoDoc::SetUnitSystem(ON::LengthUnitSystem units, bool scaleObjects) {
    if (units == ON::LengthUnitSystem::Unset)
        return false;
    if (units == units_)
        return true;
    const double s = ON::UnitScale(units_, units);
    units_ = units;
    if (scaleObjects && s != 1.0) {
        const ON_Xform scale = ON_Xform::DiagonalTransformation(s);
        for (int i = 0; i < m_instance_definition_table.InstanceDefinitionCount(); ++i) {
            const CRhinoInstanceDefinition& idef = m_instance_definition_table[i];
            if (idef.IsDeleted())
                continue;
            CRhinoInstanceDefinitionTable::Geometry geometry;
            for (int k = 0; k < idef.ObjectCount(); ++k)
                geometry.push_back(scaledForUnits(*idef.Object(k), scale));
            m_instance_definition_table.ModifyInstanceDefinitionGeometry(i, std::move(geometry));
        }
        const std::vector<CRhinoObject*> model = order_;
        for (CRhinoObject* object : model) {
            if (object->deleted_ || object->idefGeometry_)
                continue;
            ReplaceObject(object, scaledForUnits(*object, scale));
        }
        for (const auto& view : views_) {
            const ON_Viewport& vp = view->Viewport().VP();
            view->Viewport().SetCamera(vp.CameraLocation() * s, vp.TargetPoint() * s, vp.CameraUp());
        }
        raise([&](CRhinoEventWatcher& w) { w.OnUnitsChangedWithScaling(*this, s); });
    }
    raise([&](CRhinoEventWatcher& w) { w.OnDocumentPropertiesChanged(*this); });
    return true;
}

CRhinoView* CRhinoDoc::AddView(const ON_Viewport& vp, const ON_wString& name) {
    if (!vp.IsValidCamera()) {
        fail(false, ON_wString::FormatToString(u"View \"%ls\" has no valid camera.\n", name.Array()));
        return nullptr;
    }
    views_.push_back(std::unique_ptr<CRhinoView>(new CRhinoView(*this, vp, name)));
    CRhinoView* view = views_.back().get();
    if (!active_)
        active_ = view;
    raise([&](CRhinoEventWatcher& w) { w.OnCreateView(view); });
    view->DisplayPipeline().NotifyConduits(CRhinoDisplayConduit::CN_PIPELINEOPENED);
    return view;
}

void CRhinoDoc::AddDefaultViews() {
    auto parallel = [](const ON_3dPoint& location, const ON_3dVector& up) {
        ON_Viewport vp;
        vp.SetProjection(ON::parallel_view);
        vp.SetCameraLocation(location);
        vp.SetCameraDirection(ON_3dPoint::Origin - location);
        vp.SetTargetPoint(ON_3dPoint::Origin);
        vp.SetCameraUp(up);
        vp.SetFrustum(-50, 50, -30, 30, 0.001, 1000);
        return vp;
    };
    AddView(parallel({0, 0, 100}, {0, 1, 0}), u"Top");
    AddView(parallel({0, -100, 0}, {0, 0, 1}), u"Front");
    AddView(parallel({100, 0, 0}, {0, 0, 1}), u"Right");
    CRhinoView* perspective = AddView(ON_Viewport(), u"Perspective");
    active_ = perspective;
}

int CRhinoDoc::GetViewList(ON_SimpleArray<CRhinoView*>& views) const {
    for (const auto& view : views_)
        views.Append(view.get());
    return static_cast<int>(views_.size());
}

bool CRhinoDoc::SetActiveView(CRhinoView* view) {
    const bool ours = std::any_of(views_.begin(), views_.end(), [&](const auto& v) { return v.get() == view; });
    if (!view || !ours)
        return false;
    if (view == active_)
        return true;
    active_ = view;
    if (RhinoApp().ActiveDoc() == this)
        raise([&](CRhinoEventWatcher& w) { w.OnSetActiveView(view); });
    return true;
}

void CRhinoDoc::Regen() {
    for (const auto& view : views_)
        view->Redraw();
}

void CRhinoDoc::closeViews() {
    for (const auto& view : views_)
        view->DisplayPipeline().NotifyConduits(CRhinoDisplayConduit::CN_PIPELINECLOSED);
    active_ = nullptr;
    views_.clear();
}
