#pragma once
// CRhinoLayer / CRhinoLayerTable: the document's layers.
//
// Entries are never removed: a deleted layer keeps its index (IsDeleted) and can be
// undeleted. References to entries stay valid for the document's life. Every change
// raises CRhinoEventWatcher::LayerTableEvent with the layer's index and, for
// modified and deleted layers, a copy of the old value.
// Thread-safety: main thread only, like the whole document.

#include <memory>
#include <unordered_map>
#include <vector>

#include "sdk/document/on_layer.h"
#include "sdk/geometry/on_uuid.h"

class CRhinoDoc;
class CRhinoMaterial;

class CRhinoLayer : public ON_Layer {
public:
    // The layer's render material: the material table entry at RenderMaterialIndex(),
    // or the document's default material (index -1) when that index is not valid.
    const CRhinoMaterial& LayerMaterial() const;
    // The owning document; null only for the unset layer of an object in no document.
    CRhinoDoc* Document() const { return doc_; }

private:
    friend class CRhinoLayerTable;
    friend class CRhinoObject;
    explicit CRhinoLayer(CRhinoDoc* doc) : doc_(doc) {}
    CRhinoDoc* doc_;
};

class CRhinoLayerTable {
public:
    explicit CRhinoLayerTable(CRhinoDoc& doc);
    CRhinoLayerTable(const CRhinoLayerTable&) = delete;
    CRhinoLayerTable& operator=(const CRhinoLayerTable&) = delete;
    ~CRhinoLayerTable();

    // Entries including deleted ones.
    int LayerCount() const { return static_cast<int>(layers_.size()); }
    // True for 0 <= index < LayerCount() (deleted layers included).
    bool IsValidLayerTableIndex(int index) const { return index >= 0 && index < LayerCount(); }
    // The entry at index; an index that is not valid gives an unset layer (index -1,
    // not part of the table) rather than undefined behaviour.
    const CRhinoLayer& operator[](int index) const;

    // Index of the (undeleted, unless ignoreDeleted is false) layer with that id, -1.
    int FindLayerFromId(const ON_UUID& id, bool ignoreDeleted = true) const;

    // The layer new objects go on; -1 while the table is empty.
    int CurrentLayerIndex() const { return current_; }
    // False for an invalid or deleted index.
    bool SetCurrentLayerIndex(int index);

    // Visible when the layer and every parent layer are visible. False for an
    // invalid index.
    bool LayerIsVisible(int index) const;

    // Adds a copy (a nil or duplicate id is replaced by a new one) and returns its
    // index; -1 when the parent id names no layer or the material index is below -1.
    // The first layer added becomes the current layer. Raises layer_added.
    int AddLayer(const ON_Layer& layer, bool quiet = false);
    // Replaces the content of the entry at index with layer's (the entry keeps its
    // index, id and runtime serial number). False for an invalid or deleted index, a
    // parent that is the layer itself, a descendant or unknown. Raises layer_modified
    // with the old value.
    bool ModifyLayer(const ON_Layer& layer, int index, bool quiet = false);
    // Deletes an undeleted layer that is not current, has no undeleted child layers
    // and no undeleted objects. Raises layer_deleted with the old value.
    bool DeleteLayer(int index, bool quiet = false);
    // Raises layer_undeleted.
    bool UndeleteLayer(int index);

    CRhinoDoc& Document() const { return *doc_; }

private:
    bool refuse(bool quiet, const char16_t* why, int index) const;
    CRhinoDoc* doc_;
    std::vector<std::unique_ptr<CRhinoLayer>> layers_;
    std::unordered_map<ON_UUID, int, ON_UuidHash> indexById_;  // every entry, deleted ones included
    std::unique_ptr<CRhinoLayer> unset_;
    int current_ = -1;
};
