#include "sdk/document/rhino_instance_definition_table.h"

#include "sdk/document/rhino_doc.h"
#include "sdk/document/rhino_event_watcher.h"
#include "sdk/document/rhino_object.h"

namespace {
// Nesting deeper than this is treated as a reference cycle.
constexpr int kMaxNesting = 64;
}  // namespace

int CRhinoInstanceDefinition::GetObjects(ON_SimpleArray<const CRhinoObject*>& objects) const {
    for (const CRhinoObject* object : objects_)
        objects.Append(object);
    return ObjectCount();
}

const CRhinoObject* CRhinoInstanceDefinition::Object(int index) const {
    if (index < 0 || index >= ObjectCount())
        return nullptr;
    return objects_[static_cast<size_t>(index)];
}

int CRhinoInstanceDefinition::UseCount() const {
    int uses = 0;
    for (const CRhinoObject* object : doc_->Objects()) {
        const CRhinoInstanceObject* instance = CRhinoInstanceObject::Cast(object);
        if (instance && !instance->IsDeleted() && instance->InstanceDefinitionId() == Id())
            ++uses;
    }
    return uses;
}

CRhinoInstanceDefinitionTable::CRhinoInstanceDefinitionTable(CRhinoDoc& doc) : doc_(&doc) {}

CRhinoInstanceDefinitionTable::~CRhinoInstanceDefinitionTable() = default;

const CRhinoInstanceDefinition* CRhinoInstanceDefinitionTable::InstanceDefinition(int index) const {
    return IsValidInstanceDefinitionTableIndex(index) ? idefs_[static_cast<size_t>(index)].get() : nullptr;
}

const CRhinoInstanceDefinition& CRhinoInstanceDefinitionTable::operator[](int index) const {
    return *idefs_.at(static_cast<size_t>(index));
}

int CRhinoInstanceDefinitionTable::FindInstanceDefinition(const ON_UUID& id, bool ignoreDeleted) const {
    if (ON_UuidIsNil(id))
        return -1;
    for (const auto& idef : idefs_)
        if (idef->Id() == id && !(ignoreDeleted && idef->IsDeleted()))
            return idef->Index();
    return -1;
}

int CRhinoInstanceDefinitionTable::FindInstanceDefinition(const ON_wString& name) const {
    for (const auto& idef : idefs_)
        if (!idef->IsDeleted() && idef->Name().EqualOrdinal(name, true))
            return idef->Index();
    return -1;
}

bool CRhinoInstanceDefinitionTable::refersTo(const CRhinoObject& object, const ON_UUID& idefId, int depth) const {
    const CRhinoInstanceObject* instance = CRhinoInstanceObject::Cast(&object);
    if (!instance)
        return false;
    if (depth > kMaxNesting || instance->InstanceDefinitionId() == idefId)
        return true;
    const int index = FindInstanceDefinition(instance->InstanceDefinitionId(), false);
    if (index < 0)
        return false;
    for (const CRhinoObject* child : idefs_[static_cast<size_t>(index)]->objects_)
        if (refersTo(*child, idefId, depth + 1))
            return true;
    return false;
}

bool CRhinoInstanceDefinitionTable::adoptGeometry(CRhinoInstanceDefinition& idef, Geometry& geometry) {
    for (const auto& object : geometry) {
        if (!object || object->Document() || !doc_->checkObject(*object, false))
            return false;
        if (refersTo(*object, idef.Id(), 0)) {
            doc_->fail(false,
                       ON_wString::FormatToString(u"Block \"%ls\" cannot contain itself.\n", idef.Name().Array()));
            return false;
        }
    }
    idef.objects_.clear();
    for (auto& object : geometry)
        idef.objects_.push_back(doc_->adopt(std::move(object), true));
    return true;
}

int CRhinoInstanceDefinitionTable::AddInstanceDefinition(const ON_InstanceDefinition& idef, Geometry geometry) {
    const int index = InstanceDefinitionCount();
    std::unique_ptr<CRhinoInstanceDefinition> entry(new CRhinoInstanceDefinition(*doc_));
    static_cast<ON_InstanceDefinition&>(*entry) = idef;
    entry->SetIndex(index);
    entry->SetDeletedModelComponentState(false);
    if (entry->IdIsNil() || FindInstanceDefinition(entry->Id(), false) >= 0)
        entry->SetId();
    if (!adoptGeometry(*entry, geometry))
        return -1;
    idefs_.push_back(std::move(entry));
    doc_->raise(
        [&](CRhinoEventWatcher& w) { w.IdefTableEvent(CRhinoEventWatcher::idef_added_event, *this, index, nullptr); });
    return index;
}

bool CRhinoInstanceDefinitionTable::ModifyInstanceDefinition(const ON_InstanceDefinition& idef, int index) {
    if (!IsValidInstanceDefinitionTableIndex(index) || idefs_[static_cast<size_t>(index)]->IsDeleted())
        return false;
    CRhinoInstanceDefinition& entry = *idefs_[static_cast<size_t>(index)];
    const ON_InstanceDefinition old = entry;
    static_cast<ON_InstanceDefinition&>(entry) = idef;
    entry.SetIndex(index);
    entry.SetId(old.Id());
    entry.SetDeletedModelComponentState(false);
    doc_->raise(
        [&](CRhinoEventWatcher& w) { w.IdefTableEvent(CRhinoEventWatcher::idef_modified_event, *this, index, &old); });
    return true;
}

bool CRhinoInstanceDefinitionTable::ModifyInstanceDefinitionGeometry(int index, Geometry geometry) {
    if (!IsValidInstanceDefinitionTableIndex(index) || idefs_[static_cast<size_t>(index)]->IsDeleted())
        return false;
    CRhinoInstanceDefinition& entry = *idefs_[static_cast<size_t>(index)];
    const ON_InstanceDefinition old = entry;
    std::vector<CRhinoObject*> previous = entry.objects_;
    if (!adoptGeometry(entry, geometry))
        return false;
    for (CRhinoObject* object : previous)
        doc_->destroy(object);
    doc_->raise(
        [&](CRhinoEventWatcher& w) { w.IdefTableEvent(CRhinoEventWatcher::idef_modified_event, *this, index, &old); });
    return true;
}

bool CRhinoInstanceDefinitionTable::DeleteInstanceDefinition(int index) {
    if (!IsValidInstanceDefinitionTableIndex(index))
        return false;
    CRhinoInstanceDefinition& entry = *idefs_[static_cast<size_t>(index)];
    if (entry.IsDeleted())
        return false;
    if (entry.UseCount() > 0) {
        doc_->fail(false, ON_wString::FormatToString(u"Block \"%ls\" is in use.\n", entry.Name().Array()));
        return false;
    }
    entry.SetDeletedModelComponentState(true);
    doc_->raise(
        [&](CRhinoEventWatcher& w) { w.IdefTableEvent(CRhinoEventWatcher::idef_deleted_event, *this, index, &entry); });
    return true;
}

bool CRhinoInstanceDefinitionTable::UndeleteInstanceDefinition(int index) {
    if (!IsValidInstanceDefinitionTableIndex(index) || !idefs_[static_cast<size_t>(index)]->IsDeleted())
        return false;
    idefs_[static_cast<size_t>(index)]->SetDeletedModelComponentState(false);
    doc_->raise([&](CRhinoEventWatcher& w) {
        w.IdefTableEvent(CRhinoEventWatcher::idef_undeleted_event, *this, index, nullptr);
    });
    return true;
}
