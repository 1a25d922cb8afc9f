#include "event_log.h"

#include <cstdio>

#include "command_args.h"
#include "references.h"
#include "sdk/io/document_format.h"
#include "sdk/app/rhino_command.h"
#include "sdk/document/rhino_doc.h"

namespace vantro::host {

namespace {

// The host's own id for its idle watcher (it is not a plug-in's).
constexpr ON_UUID kHostId{0x5e0c7a41, 0x2b9d, 0x4f63, {0x9a, 0x1e, 0x70, 0x3d, 0x8c, 0x24, 0xb6, 0x05}};

std::string text(const char16_t* s) { return inQuotes(ON_wString(s).ToUtf8()); }

std::string yesNo(bool value) { return value ? "yes" : "no"; }

std::string onOff(bool value) { return value ? "on" : "off"; }

std::string documentText(const CRhinoDoc& doc) {
    const ON_wString title = doc.GetTitle();
    return "document " + std::to_string(doc.RuntimeSerialNumber()) +
           (title.IsEmpty() ? std::string(" (untitled)") : " " + inQuotes(title.ToUtf8()));
}

std::string viewText(const CRhinoView* view) { return view ? inQuotes(view->Viewport().Name().ToUtf8()) : "(none)"; }

// The table events share their first four values: added, deleted, undeleted, modified.
std::string tableEventWord(unsigned int event) {
    static constexpr const char* kWords[] = {"added", "deleted", "undeleted", "modified", "sorted", "current"};
    return event < 6 ? kWords[event] : "event " + std::to_string(event);
}

std::string entryText(int index, const ON_wString& name) {
    return std::to_string(index) + (name.IsEmpty() ? "" : " " + inQuotes(name.ToUtf8()));
}

std::string sourceWord(ON::object_material_source source) {
    return std::string(docio::toWord(docio::kMaterialSourceWords, source));
}

std::string modeWord(ON::object_mode mode) { return std::string(docio::toWord(docio::kModeWords, mode)); }

// "layer 0 -> 1, visible on -> off": what an attribute change changed.
std::string attributeChanges(const ON_3dmObjectAttributes& before, const ON_3dmObjectAttributes& after) {
    std::string changes;
    auto add = [&](const char* what, const std::string& from, const std::string& to) {
        if (from == to)
            return;
        changes += (changes.empty() ? "" : ", ") + std::string(what) + " " + from + " -> " + to;
    };
    add("name", inQuotes(before.m_name.ToUtf8()), inQuotes(after.m_name.ToUtf8()));
    add("layer", std::to_string(before.m_layer_index), std::to_string(after.m_layer_index));
    add("material", std::to_string(before.m_material_index), std::to_string(after.m_material_index));
    add("source", sourceWord(before.MaterialSource()), sourceWord(after.MaterialSource()));
    add("visible", onOff(before.IsVisible()), onOff(after.IsVisible()));
    add("mode", modeWord(before.Mode()), modeWord(after.Mode()));
    if (!(before.m_rendering_attributes == after.m_rendering_attributes))
        add("mappings", "old", "new");
    return changes;
}

}  // namespace

EventLog::EventLog(HostOutput& output) : output_(output), idle_(*this) {
    Register();
    Enable(true);
}

EventLog::~EventLog() { UnRegister(); }

EventLog::IdleLog::IdleLog(EventLog& log) : CRhinoIsIdle(kHostId), log_(log) {
    Register();
    Enable(true);
}

void EventLog::IdleLog::Notify(const CParameters& parameters) {
    if (log_.idleLogged_)
        return;
    log_.log("Idle " + std::to_string(parameters.m_idle_count));
    log_.idleLogged_ = true;
}

void EventLog::log(const std::string& line) {
    idleLogged_ = false;
    output_.line("[event] " + line);
}

void EventLog::OnInitRhino(CRhinoApp&) { log("OnInitRhino"); }
void EventLog::OnCloseRhino(CRhinoApp&) { log("OnCloseRhino"); }
void EventLog::OnCloseDocument(CRhinoDoc& doc) { log("OnCloseDocument " + documentText(doc)); }
void EventLog::OnNewDocument(CRhinoDoc& doc) { log("OnNewDocument " + documentText(doc)); }
void EventLog::OnActiveDocumentChanged(CRhinoDoc& doc) { log("OnActiveDocumentChanged " + documentText(doc)); }

void EventLog::OnBeginOpenDocument(CRhinoDoc&, const char16_t* fileName, bool merge, bool reference) {
    log("OnBeginOpenDocument " + text(fileName) + " merge=" + yesNo(merge) + " reference=" + yesNo(reference));
}

void EventLog::OnEndOpenDocument(CRhinoDoc&, const char16_t* fileName, bool merge, bool reference) {
    log("OnEndOpenDocument " + text(fileName) + " merge=" + yesNo(merge) + " reference=" + yesNo(reference));
}

void EventLog::OnBeginSaveDocument(CRhinoDoc&, const char16_t* fileName, bool exportSelected) {
    log("OnBeginSaveDocument " + text(fileName) + " selected=" + yesNo(exportSelected));
}

void EventLog::OnSetActiveView(CRhinoView* view) { log("OnSetActiveView " + viewText(view)); }

void EventLog::OnEndSaveDocument(CRhinoDoc&, const char16_t* fileName, bool exportSelected) {
    log("OnEndSaveDocument " + text(fileName) + " selected=" + yesNo(exportSelected));
}

void EventLog::OnDocumentPropertiesChanged(CRhinoDoc& doc) { log("OnDocumentPropertiesChanged " + documentText(doc)); }

void EventLog::OnUnitsChangedWithScaling(CRhinoDoc&, double scale) {
    char number[48];
    std::snprintf(number, sizeof number, "%g", scale);
    log(std::string("OnUnitsChangedWithScaling scale=") + number);
}

void EventLog::OnBeginCommand(const CRhinoCommand& command, const CRhinoCommandContext&) {
    log("OnBeginCommand " + ON_wString(const_cast<CRhinoCommand&>(command).EnglishCommandName()).ToUtf8());
}

void EventLog::OnEndCommand(const CRhinoCommand& command, const CRhinoCommandContext&, int result) {
    log("OnEndCommand " + ON_wString(const_cast<CRhinoCommand&>(command).EnglishCommandName()).ToUtf8() +
        " result=" + std::to_string(result));
}

void EventLog::OnCreateView(CRhinoView* view) { log("OnCreateView " + viewText(view)); }
void EventLog::OnViewModified(CRhinoView* view) { log("OnViewModified " + viewText(view)); }
void EventLog::OnAddObject(CRhinoDoc&, CRhinoObject& object) { log("OnAddObject " + describeObject(object)); }
void EventLog::OnDeleteObject(CRhinoDoc&, CRhinoObject& object) { log("OnDeleteObject " + describeObject(object)); }

void EventLog::OnReplaceObject(CRhinoDoc&, CRhinoObject& oldObject, CRhinoObject& newObject) {
    log("OnReplaceObject " + describeObject(oldObject) + " -> " + describeObject(newObject));
}

void EventLog::OnUnDeleteObject(CRhinoDoc&, CRhinoObject& object) { log("OnUnDeleteObject " + describeObject(object)); }
void EventLog::OnPurgeObject(CRhinoDoc&, CRhinoObject& object) { log("OnPurgeObject " + describeObject(object)); }

void EventLog::OnModifyObjectAttributes(CRhinoDoc&, CRhinoObject& object, const CRhinoObjectAttributes& oldAttributes) {
    log("OnModifyObjectAttributes " + describeObject(object) + " (" +
        attributeChanges(oldAttributes, object.Attributes()) + ")");
}

void EventLog::OnUpdateObjectMesh(CRhinoDoc&, CRhinoObject& object) {
    log("OnUpdateObjectMesh " + describeObject(object));
}

void EventLog::LayerTableEvent(layer_event event, const CRhinoLayerTable& table, int index, const ON_Layer*) {
    log("LayerTableEvent " + tableEventWord(event) + " " + entryText(index, table[index].Name()));
}

void EventLog::IdefTableEvent(idef_event event, const CRhinoInstanceDefinitionTable& table, int index,
                              const ON_InstanceDefinition*) {
    const CRhinoInstanceDefinition* idef = table.InstanceDefinition(index);
    log("IdefTableEvent " + tableEventWord(event) + " " + entryText(index, idef ? idef->Name() : ON_wString()));
}

void EventLog::MaterialTableEvent(material_event event, const CRhinoMaterialTable& table, int index,
                                  const ON_Material*) {
    const ON_wString name = table.IsValidMaterialTableIndex(index) ? table[index].Name() : ON_wString();
    log("MaterialTableEvent " + tableEventWord(event) + " " + entryText(index, name));
}

void EventLog::TextureMappingTableEvent(texture_mapping_event event, const CRhinoTextureMappingTable& table, int index,
                                        const ON_TextureMapping*) {
    log("TextureMappingTableEvent " + tableEventWord(event) + " " + entryText(index, table[index].Name()));
}

}  // namespace vantro::host
