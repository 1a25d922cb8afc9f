#pragma once
// CRhinoInstanceDefinition / CRhinoInstanceDefinitionTable: block definitions and the
// objects that make them up.
//
// A definition's geometry objects belong to the document (they have runtime serial
// numbers, IsInstanceDefinitionGeometry() is true) but are not part of the model:
// iterators skip them unless asked, and they are never selected or deleted on their
// own. Changing a definition raises CRhinoEventWatcher::IdefTableEvent.
// Thread-safety: main thread only.

#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "sdk/geometry/on_array.h"
#include "sdk/document/on_instance_definition.h"

class CRhinoDoc;
class CRhinoObject;

class CRhinoInstanceDefinition : public ON_InstanceDefinition {
public:
    // Appends the definition's geometry objects, in definition order; returns how
    // many were appended.
    int GetObjects(ON_SimpleArray<const CRhinoObject*>& objects) const;
    int ObjectCount() const { return static_cast<int>(objects_.size()); }
    // Null for an index out of range.
    const CRhinoObject* Object(int index) const;
    // Number of undeleted instance objects (in the model or in other definitions)
    // that reference this definition.
    int UseCount() const;
    CRhinoDoc& Document() const { return *doc_; }

private:
    friend class CRhinoInstanceDefinitionTable;
    explicit CRhinoInstanceDefinition(CRhinoDoc& doc) : doc_(&doc) {}
    CRhinoDoc* doc_;
    std::vector<CRhinoObject*> objects_;  // owned by the document's object store
};

class CRhinoInstanceDefinitionTable {
public:
    using Geometry = std::vector<std::unique_ptr<CRhinoObject>>;

    explicit CRhinoInstanceDefinitionTable(CRhinoDoc& doc);
    CRhinoInstanceDefinitionTable(const CRhinoInstanceDefinitionTable&) = delete;
    CRhinoInstanceDefinitionTable& operator=(const CRhinoInstanceDefinitionTable&) = delete;
    ~CRhinoInstanceDefinitionTable();

    int InstanceDefinitionCount() const { return static_cast<int>(idefs_.size()); }
    bool IsValidInstanceDefinitionTableIndex(int index) const {
        return index >= 0 && index < InstanceDefinitionCount();
    }
    // Null for an index out of range.
    const CRhinoInstanceDefinition* InstanceDefinition(int index) const;
    const CRhinoInstanceDefinition& operator[](int index) const;  // index must be valid

    int FindInstanceDefinition(const ON_UUID& id, bool ignoreDeleted = true) const;
    int FindInstanceDefinition(const ON_wString& name) const;  // first undeleted, -1

    // Adds a definition made of the given objects (which must not be in a document;
    // their attributes are checked like CRhinoDoc::AddObject's). Returns the index, or
    // -1 (nothing added, a line printed naming the block) when an object is refused or
    // the definition would place itself, nest deeper than kMaxBlockNesting or expand
    // to more than kMaxBlockExpansion (block_nesting.h). Raises idef_added_event.
    int AddInstanceDefinition(const ON_InstanceDefinition& idef, Geometry geometry);
    // Replaces name, description and id-independent content; raises
    // idef_modified_event with the old value.
    bool ModifyInstanceDefinition(const ON_InstanceDefinition& idef, int index);
    // Replaces the geometry: the old objects are purged (their serial numbers die), the
    // new ones get new serial numbers. Refused when the new geometry refers back to
    // this definition (directly or through other definitions). Raises
    // idef_modified_event.
    bool ModifyInstanceDefinitionGeometry(int index, Geometry geometry);
    // Deletes a definition that no undeleted instance uses; raises idef_deleted_event.
    bool DeleteInstanceDefinition(int index);
    bool UndeleteInstanceDefinition(int index);  // raises idef_undeleted_event

    CRhinoDoc& Document() const { return *doc_; }

private:
    bool adoptGeometry(CRhinoInstanceDefinition& idef, Geometry& geometry);
    CRhinoDoc* doc_;
    std::vector<std::unique_ptr<CRhinoInstanceDefinition>> idefs_;
    std::unordered_map<ON_UUID, int, ON_UuidHash> indexById_;  // every entry, deleted ones included
    std::unordered_set<ON_UUID, ON_UuidHash> placedIds_;       // ids instances in definitions have named
};
