#pragma once
// ON_MappingChannel / ON_MappingRef: how an object refers to texture mappings. For
// each renderer (plug-in id) an object has a mapping reference; in it each mapping
// channel id names a texture mapping of the document (by id, and by table index as a
// hint) and carries the object's transformation since the mapping was applied.
//
// Thread-safety: value types.

#include "sdk/geometry/on_array.h"
#include "sdk/geometry/on_uuid.h"
#include "sdk/geometry/on_xform.h"

struct ON_MappingChannel {
    int m_mapping_channel_id = 0;
    ON_UUID m_mapping_id;      // the mapping's id in the document's texture-mapping table
    int m_mapping_index = -1;  // its table index when known; the id decides
    ON_Xform m_object_xform;   // identity by default
    friend bool operator==(const ON_MappingChannel&, const ON_MappingChannel&) = default;
};

class ON_MappingRef {
public:
    ON_UUID m_plugin_id;
    ON_SimpleArray<ON_MappingChannel> m_mapping_channels;

    // The channel with that id, null when absent.
    const ON_MappingChannel* MappingChannel(int mappingChannelId) const;
    // Adds a channel, or re-targets an existing one (its object transform is reset).
    // False for a nil mapping id.
    bool AddMappingChannel(int mappingChannelId, const ON_UUID& mappingId, int mappingIndex = -1,
                           const ON_Xform& objectXform = ON_Xform());
    friend bool operator==(const ON_MappingRef&, const ON_MappingRef&) = default;
};
