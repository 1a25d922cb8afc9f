#include "references.h"

#include <charconv>
#include <vector>

#include "command_args.h"
#include "sdk/io/document_format.h"
#include "sdk/document/rhino_doc.h"

namespace vantro::host {

namespace {

bool accepts(Deleted deleted, bool isDeleted) {
    switch (deleted) {
        case Deleted::no: return !isDeleted;
        case Deleted::only: return isDeleted;
        case Deleted::also: return true;
    }
    return false;
}

std::string stateProblem(Deleted deleted) { return deleted == Deleted::only ? " is not deleted" : " is deleted"; }

std::optional<long long> wholeNumber(std::string_view text) {
    long long value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || ptr != text.data() + text.size() || value < 0)
        return std::nullopt;
    return value;
}

ON_UUID uuidOf(std::string_view text) { return text.size() >= 36 ? ON_UuidFromString(text) : ON_nil_uuid; }

std::string nameOf(const ON_wString& name) { return inQuotes(name.ToUtf8()); }

// Finds a table entry by index, id or name. entry(i) gives the component at i.
template <class Entry>
int findEntry(const char* kind, int count, Entry entry, std::string_view ref, Deleted deleted, std::string& error) {
    const std::string label = std::string(kind) + " ";
    if (const auto index = wholeNumber(ref)) {
        if (*index >= count) {
            error = label + std::string(ref) + " does not exist (there are " + std::to_string(count) + ")";
            return -1;
        }
        const int i = static_cast<int>(*index);
        if (!accepts(deleted, entry(i).IsDeleted())) {
            error = label + std::to_string(i) + stateProblem(deleted);
            return -1;
        }
        return i;
    }
    const ON_UUID id = uuidOf(ref);
    const ON_wString name = ON_wString::FromUtf8(ref);
    std::vector<int> matches;
    std::vector<int> wrongState;
    for (int i = 0; i < count; ++i) {
        const auto& component = entry(i);
        const bool match = ON_UuidIsNotNil(id) ? component.Id() == id : component.Name().EqualOrdinal(name, true);
        if (match)
            (accepts(deleted, component.IsDeleted()) ? matches : wrongState).push_back(i);
    }
    if (matches.size() == 1)
        return matches[0];
    const std::string what = ON_UuidIsNotNil(id) ? "with id " + std::string(ref) : "named " + inQuotes(ref);
    if (matches.size() > 1)
        error = std::to_string(matches.size()) + " " + kind + "s are " + what + "; use the index";
    else if (!wrongState.empty())
        error = label + std::to_string(wrongState[0]) + " " + what + stateProblem(deleted);
    else
        error = std::string("no ") + kind + " " + what;
    return -1;
}

}  // namespace

std::string_view objectTypeWord(unsigned int type) {
    const std::string_view word = docio::toWord(docio::kObjectTypeWords, type);
    return word.empty() ? std::string_view("other") : word;
}

std::string describeObject(const CRhinoObject& object) {
    std::string text = "@" + std::to_string(object.RuntimeSerialNumber()) + " ";
    text += objectTypeWord(object.ObjectType());
    if (object.Attributes().m_name.IsNotEmpty())
        text += " " + nameOf(object.Attributes().m_name);
    return text;
}

CRhinoObject* findObject(const CRhinoDoc& doc, std::string_view ref, Deleted deleted, std::string& error) {
    std::optional<long long> serial;
    if (!ref.empty() && ref[0] == '@') {
        serial = wholeNumber(ref.substr(1));
        if (!serial) {
            error = "expected @ and a serial number, got " + inQuotes(ref);
            return nullptr;
        }
    }
    const ON_UUID id = serial ? ON_nil_uuid : uuidOf(ref);
    const ON_wString name = ON_wString::FromUtf8(ref);
    std::vector<CRhinoObject*> matches;
    std::vector<CRhinoObject*> wrongState;
    for (CRhinoObject* object : doc.Objects()) {
        if (object->IsInstanceDefinitionGeometry())
            continue;
        bool match = false;
        if (serial)
            match = object->RuntimeSerialNumber() == *serial;
        else if (ON_UuidIsNotNil(id))
            match = object->Id() == id;
        else
            match = object->Attributes().m_name.EqualOrdinal(name, true);
        if (match)
            (accepts(deleted, object->IsDeleted()) ? matches : wrongState).push_back(object);
    }
    if (matches.size() == 1)
        return matches[0];
    const std::string what = serial                ? std::string(ref)
                             : ON_UuidIsNotNil(id) ? "with id " + std::string(ref)
                                                   : "named " + inQuotes(ref);
    if (matches.size() > 1)
        error = std::to_string(matches.size()) + " objects are " + what + "; use @serial";
    else if (!wrongState.empty())
        error = "object " + describeObject(*wrongState[0]) + stateProblem(deleted);
    else
        error = "no object " + what;
    return nullptr;
}

int findLayer(const CRhinoDoc& doc, std::string_view ref, Deleted deleted, std::string& error) {
    const CRhinoLayerTable& table = doc.m_layer_table;
    return findEntry(
        "layer", table.LayerCount(), [&](int i) -> const ON_Layer& { return table[i]; }, ref, deleted, error);
}

int findMaterial(const CRhinoDoc& doc, std::string_view ref, Deleted deleted, std::string& error) {
    const CRhinoMaterialTable& table = doc.m_material_table;
    return findEntry(
        "material", table.MaterialCount(), [&](int i) -> const ON_Material& { return table[i]; }, ref, deleted, error);
}

int findMapping(const CRhinoDoc& doc, std::string_view ref, Deleted deleted, std::string& error) {
    const CRhinoTextureMappingTable& table = doc.m_texture_mapping_table;
    return findEntry(
        "mapping", table.TextureMappingCount(), [&](int i) -> const ON_TextureMapping& { return table[i]; }, ref,
        deleted, error);
}

int findBlock(const CRhinoDoc& doc, std::string_view ref, Deleted deleted, std::string& error) {
    const CRhinoInstanceDefinitionTable& table = doc.m_instance_definition_table;
    return findEntry(
        "block", table.InstanceDefinitionCount(), [&](int i) -> const ON_InstanceDefinition& { return table[i]; }, ref,
        deleted, error);
}

CRhinoView* findView(const CRhinoDoc& doc, std::string_view ref, std::string& error) {
    ON_SimpleArray<CRhinoView*> views;
    doc.GetViewList(views);
    if (const auto index = wholeNumber(ref)) {
        if (*index < views.Count())
            return views[static_cast<int>(*index)];
        error = "view " + std::string(ref) + " does not exist (there are " + std::to_string(views.Count()) + ")";
        return nullptr;
    }
    const ON_wString name = ON_wString::FromUtf8(ref);
    CRhinoView* found = nullptr;
    for (CRhinoView* view : views) {
        if (!view->Viewport().Name().EqualOrdinal(name, true))
            continue;
        if (found) {
            error = "several views are named " + inQuotes(ref) + "; use the view's number";
            return nullptr;
        }
        found = view;
    }
    if (!found)
        error = "no view named " + inQuotes(ref);
    return found;
}

}  // namespace vantro::host
