#include "attribute_options.h"

#include "references.h"
#include "sdk/document/rhino_doc.h"

namespace vantro::host {

namespace {

bool applyMaterial(const CRhinoDoc& doc, const CommandArgs& args, ON_3dmObjectAttributes& attributes,
                   std::string& error) {
    const std::string* material = args.option("material");
    if (material) {
        const bool none = sameWord(*material, "none") || *material == "-1";
        const int index = none ? -1 : findMaterial(doc, *material, Deleted::no, error);
        if (!none && index < 0)
            return false;
        attributes.m_material_index = index;
        if (!none)
            attributes.SetMaterialSource(ON::material_from_object);
    }
    if (const std::string* source = args.option("source")) {
        const auto choice = parseChoice(*source, {"layer", "object", "parent"}, error);
        if (!choice)
            return false;
        static constexpr ON::object_material_source kSources[] = {ON::material_from_layer, ON::material_from_object,
                                                                  ON::material_from_parent};
        attributes.SetMaterialSource(kSources[*choice]);
    }
    return true;
}

bool applyVisibility(const CommandArgs& args, ON_3dmObjectAttributes& attributes, std::string& error) {
    if (const std::string* visible = args.option("visible")) {
        const auto on = parseSwitch(*visible, error);
        if (!on)
            return false;
        attributes.SetVisible(*on);
    }
    if (const std::string* mode = args.option("mode")) {
        const auto choice = parseChoice(*mode, {"normal", "hidden", "locked"}, error);
        if (!choice)
            return false;
        static constexpr ON::object_mode kModes[] = {ON::normal_object, ON::hidden_object, ON::locked_object};
        attributes.SetMode(kModes[*choice]);
    }
    return true;
}

}  // namespace

bool applyAttributeOptions(const CRhinoDoc& doc, const CommandArgs& args, ON_3dmObjectAttributes& attributes,
                           std::string& error) {
    if (const std::string* name = args.option("name"))
        attributes.m_name = ON_wString::FromUtf8(*name);
    if (const std::string* layer = args.option("layer")) {
        const int index = findLayer(doc, *layer, Deleted::no, error);
        if (index < 0)
            return false;
        attributes.m_layer_index = index;
    }
    return applyMaterial(doc, args, attributes, error) && applyVisibility(args, attributes, error);
}

}  // namespace vantro::host
