#pragma once
// ON_3dmObjectAttributes: what a document records about an object besides its
// geometry: id, name, layer index, render material (source and index), mode and
// visibility, and rendering attributes (texture-mapping references per renderer).
//
// Indices are not checked here; CRhinoDoc checks them when attributes are added or
// modified. Thread-safety: value types.

#include "sdk/geometry/on.h"
#include "sdk/geometry/on_array.h"
#include "sdk/geometry/on_mapping_ref.h"
#include "sdk/geometry/on_string.h"
#include "sdk/geometry/on_uuid.h"

class ON_ObjectRenderingAttributes {
public:
    ON_ClassArray<ON_MappingRef> m_mappings;

    // The mapping reference for a renderer, null when the object has none.
    const ON_MappingRef* MappingRef(const ON_UUID& pluginId) const;
    // The reference for a renderer, created when absent.
    ON_MappingRef* AddMappingRef(const ON_UUID& pluginId);
    // Shorthand: AddMappingRef(pluginId)->AddMappingChannel(...).
    bool AddMappingChannel(const ON_UUID& pluginId, int mappingChannelId, const ON_UUID& mappingId);
    friend bool operator==(const ON_ObjectRenderingAttributes&, const ON_ObjectRenderingAttributes&) = default;
};

class ON_3dmObjectAttributes {
public:
    ON_UUID m_uuid;
    ON_wString m_name;
    int m_layer_index = 0;
    int m_material_index = -1;  // used when the material source is the object
    ON_ObjectRenderingAttributes m_rendering_attributes;

    ON::object_material_source MaterialSource() const { return materialSource_; }
    void SetMaterialSource(ON::object_material_source source) { materialSource_ = source; }

    ON::object_mode Mode() const { return mode_; }
    void SetMode(ON::object_mode mode) { mode_ = mode; }

    // The object's own visibility flag (independent of mode and layer).
    bool IsVisible() const { return visible_; }
    void SetVisible(bool visible) { visible_ = visible; }

    friend bool operator==(const ON_3dmObjectAttributes&, const ON_3dmObjectAttributes&) = default;

private:
    ON::object_material_source materialSource_ = ON::material_from_layer;
    ON::object_mode mode_ = ON::normal_object;
    bool visible_ = true;
};

// The SDK's name for the attributes of a document object.
using CRhinoObjectAttributes = ON_3dmObjectAttributes;
