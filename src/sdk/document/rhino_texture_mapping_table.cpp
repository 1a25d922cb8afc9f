#include "sdk/document/rhino_texture_mapping_table.h"

#include "sdk/document/rhino_doc.h"
#include "sdk/document/rhino_event_watcher.h"

CRhinoTextureMappingTable::CRhinoTextureMappingTable(CRhinoDoc& doc)
    : doc_(&doc), unset_(std::make_unique<ON_TextureMapping>()) {}

CRhinoTextureMappingTable::~CRhinoTextureMappingTable() = default;

const ON_TextureMapping& CRhinoTextureMappingTable::operator[](int index) const {
    return IsValidTextureMappingTableIndex(index) ? *mappings_[static_cast<size_t>(index)] : *unset_;
}

int CRhinoTextureMappingTable::FindTextureMapping(const ON_UUID& mappingId, bool ignoreDeleted) const {
    if (ON_UuidIsNil(mappingId))
        return -1;
    // As the layer table: an index of ids that never change once added.
    const auto found = indexById_.find(mappingId);
    if (found == indexById_.end() || (ignoreDeleted && mappings_[static_cast<size_t>(found->second)]->IsDeleted()))
        return -1;
    return found->second;
}

int CRhinoTextureMappingTable::FindTextureMapping(const ON_MappingChannel* channel, bool ignoreDeleted) const {
    return channel ? FindTextureMapping(channel->m_mapping_id, ignoreDeleted) : -1;
}

int CRhinoTextureMappingTable::AddTextureMapping(const ON_TextureMapping& mapping) {
    if (!mapping.IsValid())
        return -1;
    const int index = TextureMappingCount();
    auto entry = std::make_unique<ON_TextureMapping>();
    *entry = mapping;
    entry->SetIndex(index);
    entry->SetDeletedModelComponentState(false);
    if (entry->IdIsNil() || FindTextureMapping(entry->Id(), false) >= 0)
        entry->SetId();
    indexById_.emplace(entry->Id(), index);
    mappings_.push_back(std::move(entry));
    doc_->raise([&](CRhinoEventWatcher& w) {
        w.TextureMappingTableEvent(CRhinoEventWatcher::tm_added_event, *this, index, nullptr);
    });
    return index;
}

bool CRhinoTextureMappingTable::ModifyTextureMapping(const ON_TextureMapping& mapping, int index) {
    if (!IsValidTextureMappingTableIndex(index) || (*this)[index].IsDeleted() || !mapping.IsValid())
        return false;
    ON_TextureMapping& entry = *mappings_[static_cast<size_t>(index)];
    const ON_TextureMapping old = entry;
    entry = mapping;
    entry.SetIndex(index);
    entry.SetId(old.Id());
    entry.SetDeletedModelComponentState(false);
    doc_->raise([&](CRhinoEventWatcher& w) {
        w.TextureMappingTableEvent(CRhinoEventWatcher::tm_modified_event, *this, index, &old);
    });
    return true;
}

bool CRhinoTextureMappingTable::DeleteTextureMapping(int index) {
    if (!IsValidTextureMappingTableIndex(index) || (*this)[index].IsDeleted())
        return false;
    ON_TextureMapping& entry = *mappings_[static_cast<size_t>(index)];
    entry.SetDeletedModelComponentState(true);
    doc_->raise([&](CRhinoEventWatcher& w) {
        w.TextureMappingTableEvent(CRhinoEventWatcher::tm_deleted_event, *this, index, &entry);
    });
    return true;
}

bool CRhinoTextureMappingTable::UndeleteTextureMapping(int index) {
    if (!IsValidTextureMappingTableIndex(index) || !(*this)[index].IsDeleted())
        return false;
    mappings_[static_cast<size_t>(index)]->SetDeletedModelComponentState(false);
    doc_->raise([&](CRhinoEventWatcher& w) {
        w.TextureMappingTableEvent(CRhinoEventWatcher::tm_undeleted_event, *this, index, nullptr);
    });
    return true;
}

const ON_TextureCoordinates* CRhinoTextureMappingTable::CachedTextureCoordinates(const ON_MappingChannel& channel,
                                                                                 ON_Mesh& mesh) const {
    const int index = FindTextureMapping(channel.m_mapping_id, true);
    if (index < 0)
        return nullptr;
    const ON_TextureMapping& mapping = (*this)[index];
    ON_MappingTag tag;
    tag.m_mapping_id = mapping.Id();
    tag.m_mapping_type = static_cast<unsigned int>(mapping.m_type);
    tag.m_mapping_crc = mapping.MappingCRC();
    tag.m_mesh_xform = channel.m_object_xform;
    for (const ON_TextureCoordinates& cached : mesh.m_TC)
        if (cached.m_tag == tag && cached.m_T.Count() == mesh.VertexCount())
            return &cached;
    ON_TextureCoordinates computed;
    computed.m_tag = tag;
    computed.m_dim = 2;
    if (!mapping.GetTextureCoordinates(mesh, computed.m_T, &channel.m_object_xform))
        return nullptr;
    mesh.m_TC.Append(computed);
    return mesh.m_TC.Last();
}

const ON_TextureCoordinates* CRhinoTextureMappingTable::CachedTextureCoordinates(const ON_MappingChannel* channel,
                                                                                 ON_Mesh* mesh) const {
    if (!channel || !mesh)
        return nullptr;
    return CachedTextureCoordinates(*channel, *mesh);
}
