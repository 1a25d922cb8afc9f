#pragma once
// EventLog: a watcher of every application event and idle notification that writes
// one line per event to the host's output (vantro-host --log-events), so that scripts
// and tests see exactly what a plug-in's observers are told:
//
//   [event] OnAddObject @12 mesh "Box"
//   [event] OnReplaceObject @12 mesh "Box" -> @13 mesh "Box"
//   [event] OnModifyObjectAttributes @13 mesh "Box" (layer 0 -> 1, visible on -> off)
//   [event] LayerTableEvent modified 1 "Glass"
//   [event] OnBeginSaveDocument "/tmp/a.json" selected=no
//   [event] Idle 7
//
// Consecutive idle notifications make one line (the first of them): the host pumps
// idle repeatedly while it waits, as often as time allows.
//
// It registers itself and is enabled from construction until destruction; being
// registered first, it logs each event before plug-ins react to it.
// Main thread only (events are raised there).

#include "host_output.h"
#include "sdk/document/rhino_event_watcher.h"
#include "sdk/document/rhino_event_watcher_ex.h"

namespace vantro::host {

class EventLog : public CRhinoEventWatcher {
public:
    explicit EventLog(HostOutput& output);
    ~EventLog() override;

    void OnInitRhino(CRhinoApp& app) override;
    void OnCloseRhino(CRhinoApp& app) override;
    void OnCloseDocument(CRhinoDoc& doc) override;
    void OnNewDocument(CRhinoDoc& doc) override;
    void OnActiveDocumentChanged(CRhinoDoc& doc) override;
    void OnBeginOpenDocument(CRhinoDoc& doc, const char16_t* fileName, bool merge, bool reference) override;
    void OnEndOpenDocument(CRhinoDoc& doc, const char16_t* fileName, bool merge, bool reference) override;
    void OnBeginSaveDocument(CRhinoDoc& doc, const char16_t* fileName, bool exportSelected) override;
    void OnSetActiveView(CRhinoView* view) override;
    void OnEndSaveDocument(CRhinoDoc& doc, const char16_t* fileName, bool exportSelected) override;
    void OnDocumentPropertiesChanged(CRhinoDoc& doc) override;
    void OnUnitsChangedWithScaling(CRhinoDoc& doc, double scale) override;
    void OnBeginCommand(const CRhinoCommand& command, const CRhinoCommandContext& context) override;
    void OnEndCommand(const CRhinoCommand& command, const CRhinoCommandContext& context, int result) override;
    void OnCreateView(CRhinoView* view) override;
    void OnViewModified(CRhinoView* view) override;
    void OnAddObject(CRhinoDoc& doc, CRhinoObject& object) override;
    void OnDeleteObject(CRhinoDoc& doc, CRhinoObject& object) override;
    void OnReplaceObject(CRhinoDoc& doc, CRhinoObject& oldObject, CRhinoObject& newObject) override;
    void OnUnDeleteObject(CRhinoDoc& doc, CRhinoObject& object) override;
    void OnPurgeObject(CRhinoDoc& doc, CRhinoObject& object) override;
    void OnModifyObjectAttributes(CRhinoDoc& doc, CRhinoObject& object,
                                  const CRhinoObjectAttributes& oldAttributes) override;
    void OnUpdateObjectMesh(CRhinoDoc& doc, CRhinoObject& object) override;
    void LayerTableEvent(layer_event event, const CRhinoLayerTable& table, int index, const ON_Layer* old) override;
    void IdefTableEvent(idef_event event, const CRhinoInstanceDefinitionTable& table, int index,
                        const ON_InstanceDefinition* old) override;
    void MaterialTableEvent(material_event event, const CRhinoMaterialTable& table, int index,
                            const ON_Material* old) override;
    void TextureMappingTableEvent(texture_mapping_event event, const CRhinoTextureMappingTable& table, int index,
                                  const ON_TextureMapping* old) override;

private:
    // Logs idle notifications; a member so that both watchers live and die together.
    class IdleLog : public CRhinoIsIdle {
    public:
        explicit IdleLog(EventLog& log);
        void Notify(const CParameters& parameters) override;

    private:
        EventLog& log_;
    };

    void log(const std::string& text);

    HostOutput& output_;
    // The host runs the idle pump again and again while it waits, so a run of idle
    // notifications with no other event between them is logged once, as its first.
    bool idleLogged_ = false;
    IdleLog idle_;
};

}  // namespace vantro::host
