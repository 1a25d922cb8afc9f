#include "sdk/document/on_object_attributes.h"

const ON_MappingChannel* ON_MappingRef::MappingChannel(int mappingChannelId) const {
    for (const ON_MappingChannel& c : m_mapping_channels)
        if (c.m_mapping_channel_id == mappingChannelId)
            return &c;
    return nullptr;
}

bool ON_MappingRef::AddMappingChannel(int mappingChannelId, const ON_UUID& mappingId, int mappingIndex,
                                      const ON_Xform& objectXform) {
    if (ON_UuidIsNil(mappingId))
        return false;
    ON_MappingChannel channel;
    channel.m_mapping_channel_id = mappingChannelId;
    channel.m_mapping_id = mappingId;
    channel.m_mapping_index = mappingIndex;
    channel.m_object_xform = objectXform;
    for (ON_MappingChannel& c : m_mapping_channels) {
        if (c.m_mapping_channel_id == mappingChannelId) {
            c = channel;
            return true;
        }
    }
    m_mapping_channels.Append(channel);
    return true;
}

const ON_MappingRef* ON_ObjectRenderingAttributes::MappingRef(const ON_UUID& pluginId) const {
    for (const ON_MappingRef& r : m_mappings)
        if (r.m_plugin_id == pluginId)
            return &r;
    return nullptr;
}

ON_MappingRef* ON_ObjectRenderingAttributes::AddMappingRef(const ON_UUID& pluginId) {
    for (ON_MappingRef& r : m_mappings)
        if (r.m_plugin_id == pluginId)
            return &r;
    ON_MappingRef& added = m_mappings.AppendNew();
    added.m_plugin_id = pluginId;
    return &added;
}

bool ON_ObjectRenderingAttributes::AddMappingChannel(const ON_UUID& pluginId, int mappingChannelId,
                                                     const ON_UUID& mappingId) {
    if (ON_UuidIsNil(mappingId))
        return false;
    return AddMappingRef(pluginId)->AddMappingChannel(mappingChannelId, mappingId);
}
