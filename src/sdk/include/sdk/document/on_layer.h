#pragma once
// ON_Layer: a layer: name, parent layer (by id; nil for a top-level layer), own
// visibility and lock flags, display colour and render material index (-1: the
// default material).
//
// Visibility here is the layer's own flag; whether objects on it show also depends on
// its parents (CRhinoLayerTable::LayerIsVisible).
// Thread-safety: a value type.

#include "sdk/geometry/on_color.h"
#include "sdk/document/on_model_component.h"

class ON_Layer : public ON_ModelComponent {
public:
    const ON_UUID& ParentLayerId() const { return parentId_; }
    void SetParentLayerId(const ON_UUID& id) { parentId_ = id; }

    bool IsVisible() const { return visible_; }
    void SetVisible(bool visible) { visible_ = visible; }
    bool IsLocked() const { return locked_; }
    void SetLocked(bool locked) { locked_ = locked; }

    ON_Color Color() const { return color_; }
    void SetColor(const ON_Color& c) { color_ = c; }

    int RenderMaterialIndex() const { return materialIndex_; }
    void SetRenderMaterialIndex(int index) { materialIndex_ = index; }

private:
    ON_UUID parentId_;
    bool visible_ = true;
    bool locked_ = false;
    ON_Color color_;
    int materialIndex_ = -1;
};
