#include "sdk/document/rhino_instance_definition_table.h"

#include "document/block_nesting_check.h"
#include "sdk/document/block_nesting.h"
#include "sdk/document/rhino_doc.h"
#include "sdk/document/rhino_event_watcher.h"
#include "sdk/document/rhino_object.h"

namespace {

ON_wString nestingMessage(BlockNestingProblem problem, const ON_wString& name) {
    switch (problem) {
        case BlockNestingProblem::placesItself:
            return ON_wString::FormatToString(u"Block \"%ls\" cannot contain itself.\n", name.Array());
        case BlockNestingProblem::tooDeep:
            return ON_wString::FormatToString(u"Block \"%ls\" nests blocks more than %d deep.\n", name.Array(),
                                              kMaxBlockNesting);
        case BlockNestingProblem::tooLarge:
            return ON_wString::FormatToString(u"Block \"%ls\" would place more than %d triangles.\n", name.Array(),
                                              static_cast<int>(kMaxBlockExpansion));
        case BlockNestingProblem::none: break;
    }
    return {};
}

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
    const auto found = indexById_.find(id);
    if (found == indexById_.end() || (ignoreDeleted && idefs_[static_cast<size_t>(found->second)]->IsDeleted()))
        return -1;
    return found->second;
}

int CRhinoInstanceDefinitionTable::FindInstanceDefinition(const ON_wString& name) const {
    for (const auto& idef : idefs_)
        if (!idef->IsDeleted() && idef->Name().EqualOrdinal(name, true))
            return idef->Index();
    return -1;
}

bool CRhinoInstanceDefinitionTable::adoptGeometry(CRhinoInstanceDefinition& idef, Geometry& geometry) {
    for (const auto& object : geometry)
        if (!object || object->Document() || !doc_->checkObject(*object, false))
            return false;
    // When a definition's geometry is replaced, those placing it take on what the new
    // geometry places, so they are looked at too.
    const bool placed = placedIds_.count(idef.Id()) != 0;
    if (BlockNestingProblem problem = checkBlockNesting(*this, idef.Id(), geometry, placed);
        problem != BlockNestingProblem::none) {
        doc_->fail(false, nestingMessage(problem, idef.Name()));
        return false;
    }
    for (const auto& object : geometry)
        if (const CRhinoInstanceObject* instance = CRhinoInstanceObject::Cast(object.get()))
            placedIds_.insert(instance->InstanceDefinitionId());
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
    indexById_.emplace(entry->Id(), index);
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
