#pragma once
// ON_InstanceDefinition: a block definition's identity and description. Its geometry
// lives in the document as instance-definition objects (CRhinoInstanceDefinition).
//
// Thread-safety: a value type.

#include "sdk/document/on_model_component.h"
#include "sdk/geometry/on_string.h"

class ON_InstanceDefinition : public ON_ModelComponent {
public:
    const ON_wString& Description() const { return description_; }
    void SetDescription(const ON_wString& text) { description_ = text; }

private:
    ON_wString description_;
};
