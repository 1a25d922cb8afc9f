#include "document_info.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "command_args.h"
#include "references.h"
#include "sdk/io/document_format.h"
#include "sdk/document/rhino_doc.h"

namespace vantro::host {

namespace {

std::string name(const ON_wString& text) { return inQuotes(text.ToUtf8()); }

std::string colorText(const ON_Color& c) {
    return std::to_string(c.Red()) + "," + std::to_string(c.Green()) + "," + std::to_string(c.Blue());
}

std::string numberText(double value) {
    char text[48];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string idText(const ON_UUID& id) { return "id=" + ON_UuidToString(id).ToUtf8(); }

bool isModelObject(const CRhinoObject& object) { return !object.IsInstanceDefinitionGeometry(); }

bool isHiddenObject(const CRhinoObject& object) { return object.IsHidden() || !object.Attributes().IsVisible(); }

// "<label>: <count>" with "; deleted <n>" when some entries are deleted.
template <class Entry>
std::string tableLine(const char* label, int count, Entry entry, std::string detail = {}) {
    int live = 0;
    for (int i = 0; i < count; ++i)
        if (!entry(i).IsDeleted())
            ++live;
    std::string line = std::string(label) + ": " + std::to_string(live);
    if (!detail.empty())
        line += " (" + detail + ")";
    if (live < count)
        line += "; deleted " + std::to_string(count - live);
    return line;
}

std::string objectsLine(const CRhinoDoc& doc) {
    std::map<std::string, int> byType;
    int total = 0;
    for (const CRhinoObject* object : doc.Objects()) {
        if (!isModelObject(*object) || object->IsDeleted())
            continue;
        ++byType[std::string(objectTypeWord(object->ObjectType()))];
        ++total;
    }
    std::string line = "Objects: " + std::to_string(total);
    if (byType.empty())
        return line;
    line += " (";
    for (auto it = byType.begin(); it != byType.end(); ++it)
        line += (it == byType.begin() ? "" : ", ") + it->first + " " + std::to_string(it->second);
    return line + ")";
}

std::string countLine(const CRhinoDoc& doc, const char* label, bool (*counts)(const CRhinoObject&)) {
    int n = 0;
    for (const CRhinoObject* object : doc.Objects())
        if (isModelObject(*object) && counts(*object))
            ++n;
    return std::string(label) + ": " + std::to_string(n);
}

std::string layersLine(const CRhinoDoc& doc) {
    const CRhinoLayerTable& table = doc.m_layer_table;
    std::string hidden;
    for (int i = 0; i < table.LayerCount(); ++i) {
        if (table[i].IsDeleted() || table.LayerIsVisible(i))
            continue;
        hidden += (hidden.empty() ? "hidden: " : ", ") + name(table[i].Name());
    }
    return tableLine(
        "Layers", table.LayerCount(), [&](int i) -> const ON_Layer& { return table[i]; }, hidden);
}

std::string blocksLine(const CRhinoDoc& doc) {
    const CRhinoInstanceDefinitionTable& table = doc.m_instance_definition_table;
    int members = 0;
    for (int i = 0; i < table.InstanceDefinitionCount(); ++i)
        if (!table[i].IsDeleted())
            members += table[i].ObjectCount();
    return tableLine(
        "Instance definitions", table.InstanceDefinitionCount(),
        [&](int i) -> const ON_InstanceDefinition& { return table[i]; }, std::to_string(members) + " objects");
}

std::string viewsLine(const CRhinoDoc& doc) {
    ON_SimpleArray<CRhinoView*> views;
    doc.GetViewList(views);
    std::string line = "Views: " + std::to_string(views.Count());
    if (const CRhinoView* active = doc.ActiveView()) {
        const ON_Viewport& vp = active->Viewport().VP();
        line += " (active: " + name(active->Viewport().Name()) + ", " +
                (vp.IsPerspectiveProjection() ? "perspective" : "parallel") + ")";
    }
    return line;
}

std::string unitsWord(ON::LengthUnitSystem units) {
    const std::string_view word = docio::toWord(docio::kUnitWords, units);
    return word.empty() ? "unset" : std::string(word);
}

// "box=x0,y0,z0..x1,y1,z1" over the meshes the object carries; empty without vertices.
std::string boundingBox(const CRhinoObject& object) {
    std::vector<const ON_Mesh*> meshes;
    if (const CRhinoMeshObject* meshObject = CRhinoMeshObject::Cast(&object))
        meshes.push_back(meshObject->Mesh());
    for (const auto& mesh : object.RenderMeshes())
        meshes.push_back(mesh.get());
    bool any = false;
    ON_3dPoint lo, hi;
    for (const ON_Mesh* mesh : meshes) {
        for (int i = 0; mesh && i < mesh->VertexCount(); ++i) {
            const ON_3dPoint p(mesh->m_V[i]);
            lo = any ? ON_3dPoint(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)) : p;
            hi = any ? ON_3dPoint(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)) : p;
            any = true;
        }
    }
    if (!any)
        return {};
    return " box=" + numberText(lo.x) + "," + numberText(lo.y) + "," + numberText(lo.z) + ".." + numberText(hi.x) +
           "," + numberText(hi.y) + "," + numberText(hi.z);
}

std::string materialRef(const ON_3dmObjectAttributes& attributes) {
    const std::string_view source = docio::toWord(docio::kMaterialSourceWords, attributes.MaterialSource());
    return "material=" + std::string(source) + ":" + std::to_string(attributes.m_material_index);
}

}  // namespace

std::vector<std::string> documentSummary(const CRhinoDoc& doc) {
    const ON_wString path = doc.GetPathName();
    const int current = doc.m_layer_table.CurrentLayerIndex();
    const CRhinoMaterialTable& materials = doc.m_material_table;
    const CRhinoTextureMappingTable& mappings = doc.m_texture_mapping_table;
    return {
        "Document: " + (path.IsEmpty() ? std::string("(never saved)") : path.ToUtf8()),
        "Units: " + unitsWord(doc.UnitSystem()),
        objectsLine(doc),
        countLine(doc, "Hidden objects", [](const CRhinoObject& o) { return !o.IsDeleted() && isHiddenObject(o); }),
        countLine(doc, "Locked objects", [](const CRhinoObject& o) { return !o.IsDeleted() && o.IsLocked(); }),
        countLine(doc, "Selected objects", [](const CRhinoObject& o) { return !o.IsDeleted() && o.IsSelected(); }),
        countLine(doc, "Deleted objects", [](const CRhinoObject& o) { return o.IsDeleted(); }),
        layersLine(doc),
        "Current layer: " + (current >= 0 ? name(doc.m_layer_table[current].Name()) : std::string("(none)")),
        tableLine("Materials", materials.MaterialCount(), [&](int i) -> const ON_Material& { return materials[i]; }),
        tableLine("Texture mappings", mappings.TextureMappingCount(),
                  [&](int i) -> const ON_TextureMapping& { return mappings[i]; }),
        blocksLine(doc),
        countLine(doc, "Instance references",
                  [](const CRhinoObject& o) { return !o.IsDeleted() && o.ObjectType() == ON::instance_reference; }),
        viewsLine(doc),
    };
}

std::vector<std::string> objectListing(const CRhinoDoc& doc) {
    std::vector<std::string> lines;
    for (const CRhinoObject* object : doc.Objects()) {
        if (!isModelObject(*object))
            continue;
        const ON_3dmObjectAttributes& a = object->Attributes();
        std::string line = describeObject(*object) + " layer=" + std::to_string(a.m_layer_index) + " " + materialRef(a);
        if (object->IsHidden())
            line += " hidden";
        if (!a.IsVisible())
            line += " invisible";
        if (object->IsLocked())
            line += " locked";
        if (object->IsSelected())
            line += " selected";
        if (object->IsDeleted())
            line += " deleted";
        if (const CRhinoInstanceObject* instance = CRhinoInstanceObject::Cast(object))
            line += " block=" + ON_UuidToString(instance->InstanceDefinitionId()).ToUtf8();
        line += boundingBox(*object);
        lines.push_back(line + " " + idText(a.m_uuid));
    }
    return lines;
}

std::vector<std::string> layerListing(const CRhinoDoc& doc) {
    std::vector<std::string> lines;
    const CRhinoLayerTable& table = doc.m_layer_table;
    for (int i = 0; i < table.LayerCount(); ++i) {
        const CRhinoLayer& layer = table[i];
        std::string line = std::to_string(i) + " " + name(layer.Name()) + (layer.IsVisible() ? " visible" : " off");
        if (layer.IsLocked())
            line += " locked";
        if (layer.IsDeleted())
            line += " deleted";
        line += " color=" + colorText(layer.Color()) + " material=" + std::to_string(layer.RenderMaterialIndex());
        if (ON_UuidIsNotNil(layer.ParentLayerId()))
            line += " parent=" + std::to_string(table.FindLayerFromId(layer.ParentLayerId(), false));
        lines.push_back(line + " " + idText(layer.Id()));
    }
    return lines;
}

std::vector<std::string> materialListing(const CRhinoDoc& doc) {
    std::vector<std::string> lines;
    const CRhinoMaterialTable& table = doc.m_material_table;
    for (int i = 0; i < table.MaterialCount(); ++i) {
        const CRhinoMaterial& m = table[i];
        std::string line = std::to_string(i) + " " + name(m.Name()) + (m.IsDeleted() ? " deleted" : "") +
                           " diffuse=" + colorText(m.Diffuse()) + " transparency=" + numberText(m.Transparency()) +
                           " shine=" + numberText(m.Shine());
        for (const ON_Texture& texture : m.m_textures) {
            const std::string_view type = docio::toWord(docio::kTextureTypeWords, texture.m_type);
            line += " " + std::string(type) + "=" + name(texture.m_image_file_reference.FullPath());
        }
        lines.push_back(line + " " + idText(m.Id()));
    }
    return lines;
}

std::vector<std::string> mappingListing(const CRhinoDoc& doc) {
    std::vector<std::string> lines;
    const CRhinoTextureMappingTable& table = doc.m_texture_mapping_table;
    for (int i = 0; i < table.TextureMappingCount(); ++i) {
        const ON_TextureMapping& mapping = table[i];
        const std::string_view type = docio::toWord(docio::kMappingTypeWords, mapping.m_type);
        lines.push_back(std::to_string(i) + " " + name(mapping.Name()) + " " + std::string(type) +
                        (mapping.IsDeleted() ? " deleted " : " ") + idText(mapping.Id()));
    }
    return lines;
}

std::vector<std::string> blockListing(const CRhinoDoc& doc) {
    std::vector<std::string> lines;
    const CRhinoInstanceDefinitionTable& table = doc.m_instance_definition_table;
    for (int i = 0; i < table.InstanceDefinitionCount(); ++i) {
        const CRhinoInstanceDefinition& block = table[i];
        std::string line = std::to_string(i) + " " + name(block.Name()) + (block.IsDeleted() ? " deleted" : "") +
                           " objects=" + std::to_string(block.ObjectCount()) +
                           " uses=" + std::to_string(block.UseCount());
        for (int k = 0; k < block.ObjectCount(); ++k)
            line += " @" + std::to_string(block.Object(k)->RuntimeSerialNumber());
        lines.push_back(line + " " + idText(block.Id()));
    }
    return lines;
}

std::vector<std::string> viewListing(const CRhinoDoc& doc) {
    std::vector<std::string> lines;
    ON_SimpleArray<CRhinoView*> views;
    doc.GetViewList(views);
    for (int i = 0; i < views.Count(); ++i) {
        const CRhinoViewport& viewport = views[i]->Viewport();
        const ON_Viewport& vp = viewport.VP();
        const ON_3dPoint at = vp.CameraLocation();
        const ON_3dPoint target = vp.TargetPoint();
        std::string line = std::to_string(i) + " " + name(viewport.Name()) +
                           (vp.IsPerspectiveProjection() ? " perspective" : " parallel");
        if (views[i] == doc.ActiveView())
            line += " active";
        line += " camera=" + numberText(at.x) + "," + numberText(at.y) + "," + numberText(at.z);
        line += " target=" + numberText(target.x) + "," + numberText(target.y) + "," + numberText(target.z);
        double lens = 0.0;
        if (vp.IsPerspectiveProjection() && vp.GetCamera35mmLensLength(&lens))
            line += " lens=" + numberText(lens);
        lines.push_back(line);
    }
    return lines;
}

}  // namespace vantro::host
