#pragma once
// CRhinoTextureMappingTable: the document's texture mappings, and the coordinates
// they give meshes.
//
// Entries are never removed (deleted ones keep index and serial number). Every change
// raises CRhinoEventWatcher::TextureMappingTableEvent with the index and, for
// modified and deleted mappings, a copy of the old value.
// Thread-safety: main thread only.

#include <memory>
#include <unordered_map>
#include <vector>

#include "sdk/geometry/on_mapping_ref.h"
#include "sdk/geometry/on_texture_mapping.h"
#include "sdk/geometry/on_uuid.h"

class CRhinoDoc;

class CRhinoTextureMappingTable {
public:
    explicit CRhinoTextureMappingTable(CRhinoDoc& doc);
    CRhinoTextureMappingTable(const CRhinoTextureMappingTable&) = delete;
    CRhinoTextureMappingTable& operator=(const CRhinoTextureMappingTable&) = delete;
    ~CRhinoTextureMappingTable();

    int TextureMappingCount() const { return static_cast<int>(mappings_.size()); }
    bool IsValidTextureMappingTableIndex(int index) const { return index >= 0 && index < TextureMappingCount(); }
    // The entry at index; any other index gives an unset mapping (no_mapping, -1).
    const ON_TextureMapping& operator[](int index) const;

    // Index of the mapping with that id (deleted ones skipped when ignoreDeleted), -1.
    int FindTextureMapping(const ON_UUID& mappingId, bool ignoreDeleted = true) const;
    // The same for the mapping a channel names (by its id); -1 for a null channel.
    int FindTextureMapping(const ON_MappingChannel* channel, bool ignoreDeleted = true) const;

    // Adds a copy (new id when nil or duplicate); -1 when not valid. Raises tm_added.
    int AddTextureMapping(const ON_TextureMapping& mapping);
    // Replaces the content of an undeleted entry (index, id, serial kept).
    // Raises tm_modified with the old value.
    bool ModifyTextureMapping(const ON_TextureMapping& mapping, int index);
    bool DeleteTextureMapping(int index);    // raises tm_deleted with the old value
    bool UndeleteTextureMapping(int index);  // raises tm_undeleted

    // The coordinates the channel's (undeleted) mapping gives mesh, evaluated with the
    // channel's object transformation. They are cached in mesh.m_TC, keyed by mapping
    // id, type, checksum and object transformation, and computed only when no cached
    // set matches. Null when the channel names no mapping, the mapping cannot be
    // evaluated on this mesh, or a pointer is null. The result lives until mesh.m_TC
    // changes.
    const ON_TextureCoordinates* CachedTextureCoordinates(const ON_MappingChannel& channel, ON_Mesh& mesh) const;
    const ON_TextureCoordinates* CachedTextureCoordinates(const ON_MappingChannel* channel, ON_Mesh* mesh) const;

    CRhinoDoc& Document() const { return *doc_; }

private:
    CRhinoDoc* doc_;
    std::vector<std::unique_ptr<ON_TextureMapping>> mappings_;
    std::unordered_map<ON_UUID, int, ON_UuidHash> indexById_;  // every entry, deleted ones included
    std::unique_ptr<ON_TextureMapping> unset_;
};
