#include "sdk/document/rhino_layer_table.h"

#include "sdk/document/rhino_doc.h"
#include "sdk/document/rhino_event_watcher.h"
#include "sdk/document/rhino_material_table.h"

namespace {
// Deeper than any real layer tree; guards the walks up the parent chain.
constexpr int kMaxLayerDepth = 1000;
}  // namespace

const CRhinoMaterial& CRhinoLayer::LayerMaterial() const {
    if (!doc_) {
        static const CRhinoMaterial detachedDefault(nullptr);
        return detachedDefault;
    }
    return doc_->m_material_table[RenderMaterialIndex()];
}

CRhinoLayerTable::CRhinoLayerTable(CRhinoDoc& doc) : doc_(&doc), unset_(new CRhinoLayer(&doc)) {}

CRhinoLayerTable::~CRhinoLayerTable() = default;

const CRhinoLayer& CRhinoLayerTable::operator[](int index) const {
    return IsValidLayerTableIndex(index) ? *layers_[static_cast<size_t>(index)] : *unset_;
}

int CRhinoLayerTable::FindLayerFromId(const ON_UUID& id, bool ignoreDeleted) const {
    if (ON_UuidIsNil(id))
        return -1;
    // Ids are unique over the whole table and never change once added: an index
    // answers at once what a pass would, for a document's every layer as it is read.
    const auto found = indexById_.find(id);
    if (found == indexById_.end() || (ignoreDeleted && layers_[static_cast<size_t>(found->second)]->IsDeleted()))
        return -1;
    return found->second;
}

bool CRhinoLayerTable::SetCurrentLayerIndex(int index) {
    if (!IsValidLayerTableIndex(index) || (*this)[index].IsDeleted())
        return false;
    current_ = index;
    return true;
}

bool CRhinoLayerTable::LayerIsVisible(int index) const {
    for (int depth = 0; depth < kMaxLayerDepth; ++depth) {
        if (!IsValidLayerTableIndex(index))
            return false;
        const CRhinoLayer& layer = (*this)[index];
        if (!layer.IsVisible())
            return false;
        if (ON_UuidIsNil(layer.ParentLayerId()))
            return true;
        index = FindLayerFromId(layer.ParentLayerId(), false);
    }
    return false;
}

bool CRhinoLayerTable::refuse(bool quiet, const char16_t* why, int index) const {
    doc_->fail(quiet, ON_wString::FormatToString(u"Layer %d: %ls\n", index, why));
    return false;
}

int CRhinoLayerTable::AddLayer(const ON_Layer& layer, bool quiet) {
    const int index = LayerCount();
    if (!ON_UuidIsNil(layer.ParentLayerId()) && FindLayerFromId(layer.ParentLayerId()) < 0) {
        refuse(quiet, u"the parent layer does not exist.", index);
        return -1;
    }
    if (layer.RenderMaterialIndex() < -1) {
        refuse(quiet, u"the render material index is not valid.", index);
        return -1;
    }
    std::unique_ptr<CRhinoLayer> entry(new CRhinoLayer(doc_));
    static_cast<ON_Layer&>(*entry) = layer;
    entry->SetIndex(index);
    entry->SetDeletedModelComponentState(false);
    if (entry->IdIsNil() || FindLayerFromId(entry->Id(), false) >= 0)
        entry->SetId();
    indexById_.emplace(entry->Id(), index);
    layers_.push_back(std::move(entry));
    if (current_ < 0)
        current_ = index;
    doc_->raise(
        [&](CRhinoEventWatcher& w) { w.LayerTableEvent(CRhinoEventWatcher::layer_added, *this, index, nullptr); });
    return index;
}

bool CRhinoLayerTable::ModifyLayer(const ON_Layer& layer, int index, bool quiet) {
    if (!IsValidLayerTableIndex(index) || (*this)[index].IsDeleted())
        return refuse(quiet, u"no such layer.", index);
    CRhinoLayer& entry = *layers_[static_cast<size_t>(index)];
    // The new parent must exist and must not be the layer or one of its descendants.
    int parent = ON_UuidIsNil(layer.ParentLayerId()) ? -1 : FindLayerFromId(layer.ParentLayerId());
    if (!ON_UuidIsNil(layer.ParentLayerId()) && parent < 0)
        return refuse(quiet, u"the parent layer does not exist.", index);
    for (int depth = 0; parent >= 0 && depth < kMaxLayerDepth; ++depth) {
        if (parent == index)
            return refuse(quiet, u"a layer cannot be its own ancestor.", index);
        const ON_UUID& up = (*this)[parent].ParentLayerId();
        parent = ON_UuidIsNil(up) ? -1 : FindLayerFromId(up, false);
    }
    if (layer.RenderMaterialIndex() < -1)
        return refuse(quiet, u"the render material index is not valid.", index);
    const ON_Layer old = entry;
    static_cast<ON_Layer&>(entry) = layer;
    entry.SetIndex(index);
    entry.SetId(old.Id());
    entry.SetDeletedModelComponentState(false);
    doc_->raise(
        [&](CRhinoEventWatcher& w) { w.LayerTableEvent(CRhinoEventWatcher::layer_modified, *this, index, &old); });
    return true;
}

bool CRhinoLayerTable::DeleteLayer(int index, bool quiet) {
    if (!IsValidLayerTableIndex(index) || (*this)[index].IsDeleted())
        return refuse(quiet, u"no such layer.", index);
    if (index == current_)
        return refuse(quiet, u"the current layer cannot be deleted.", index);
    CRhinoLayer& entry = *layers_[static_cast<size_t>(index)];
    for (const auto& other : layers_)
        if (!other->IsDeleted() && other->ParentLayerId() == entry.Id())
            return refuse(quiet, u"the layer has sub-layers.", index);
    for (const CRhinoObject* object : doc_->Objects())
        if (!object->IsDeleted() && object->Attributes().m_layer_index == index)
            return refuse(quiet, u"the layer has objects.", index);
    entry.SetDeletedModelComponentState(true);
    // The entry itself is the old value: deleting changes nothing else about it.
    doc_->raise(
        [&](CRhinoEventWatcher& w) { w.LayerTableEvent(CRhinoEventWatcher::layer_deleted, *this, index, &entry); });
    return true;
}

bool CRhinoLayerTable::UndeleteLayer(int index) {
    if (!IsValidLayerTableIndex(index) || !(*this)[index].IsDeleted())
        return false;
    CRhinoLayer& entry = *layers_[static_cast<size_t>(index)];
    if (!ON_UuidIsNil(entry.ParentLayerId()) && FindLayerFromId(entry.ParentLayerId()) < 0)
        return false;
    entry.SetDeletedModelComponentState(false);
    doc_->raise(
        [&](CRhinoEventWatcher& w) { w.LayerTableEvent(CRhinoEventWatcher::layer_undeleted, *this, index, nullptr); });
    return true;
}
