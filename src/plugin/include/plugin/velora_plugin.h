#pragma once
// VeloraPlugin: the single plug-in object. The host loads the module, finds this
// object (constructed statically in the module, reached through ThePlugIn), runs
// LoadProfile and OnLoadPlugIn, and from then on the command, the menu, the observers
// and the user interface all call into it. It owns the link, the scene, the material
// manager, the settings, the user interface and the observers.
//
// Lifetime: the plug-in object owns its sub-objects (std::unique_ptr) and hands out
// plain pointers to them. Before OnLoadPlugIn none exists. A load that goes ahead
// creates them all, once, and they live as long as the plug-in object. A refused load
// (OnLoadPlugIn returning -1) leaves the settings alone: connection, materials, scene,
// ui and the three observers stay absent for the life of the process, and every hook
// the host may still call checks for that. changes exists only while the link runs and
// edits are pending. The destructor stops a running link, then the members go in
// reverse order of declaration — observers and UI before the scene, the scene before
// the materials and the connection it writes to; the observers unregister themselves
// from the host.
//
// Threads: everything here runs on the host's main thread. The scene's worker thread
// exists only while the link runs (between StartLink and StopLink) and touches the
// scene and the connection only under their locks (rh_scene.h).

#include <cstdint>
#include <memory>

#include "sdk/geometry/on.h"
#include "sdk/geometry/on_string.h"
#include "sdk/geometry/on_uuid.h"
#include "sdk/app/rhino_plug_in.h"

namespace VantroAPI {
class LiveConnection;
}
class CRhinoDoc;
class CRhinoObject;
class CameraObserver;
class ChangeSet;
class IdleObserver;
class MaterialManager;
class PluginSettings;
class PluginUi;
class RHScene;
class RhinoObserver;

class VeloraPlugin : public CRhinoUtilityPlugIn {
public:
    // No sub-object, linkState 0, flags false, unitScale 1, versionText the module's
    // build date and time.
    VeloraPlugin();
    // Stops a running link, then releases every sub-object.
    ~VeloraPlugin() override;

    // --- Host hooks ------------------------------------------------------------------

    ON_UUID PlugInID() const override;
    const char16_t* PlugInName() const override;
    const char16_t* PlugInVersion() const override;
    // The load sequence: settings, the older-copy check (when CheckPluginVersion is
    // on), then connection, materials, scene, UI, observers, menu, dock bar, and the
    // toolbar on the first load ever. 1 loaded; -1 refused silently (an equal or
    // newer copy is registered, or this copy has just replaced an older one).
    int OnLoadPlugIn() override;
    // Stops a running link; nothing else.
    void OnUnloadPlugIn() override;
    // "PlugInVersion" (text) into storedVersion and "LoadedOnce" (boolean) into
    // loadedOnce; a missing entry leaves the field as it is.
    void LoadProfile(const char16_t* section, CRhinoProfileContext& pc) override;
    // Writes "PlugInVersion" = versionText and "LoadedOnce" = loadedOnce.
    void SaveProfile(const char16_t* section, CRhinoProfileContext& pc) override;
    // The plug-in keeps nothing in documents: constant answers.
    void OnSaveAllSettings() override;
    bool CallWriteDocument(const CRhinoFileWriteOptions& options) override;
    // wParam: the menu being opened; refreshed when not null.
    void OnInitPlugInMenuPopups(uintptr_t wParam, intptr_t lParam) override;
    // The command identifiers 31771-31781 (kMenu* in plugin_identity.h); true when
    // handled.
    bool OnPlugInMenuCommand(uintptr_t wParam) override;
    bool AddToPlugInHelpMenu() const override;
    bool WriteDocument(CRhinoDoc& doc, ON_BinaryArchive& archive, const CRhinoFileWriteOptions& options) override;
    bool ReadDocument(CRhinoDoc& doc, ON_BinaryArchive& archive, const CRhinoFileReadOptions& options) override;

    // --- The link (velora_plugin_link.cpp) ---------------------------------------------

    // Starts the link on document: true when it runs afterwards because of this call.
    // Every refusal is reported to the user (command area or a message box).
    bool StartLink(CRhinoDoc* doc);
    // Stops the link; false (and silent) when it was not running.
    bool StopLink();
    // Requests (on) or ends camera following; on while stopped prints an error and
    // leaves the request standing.
    void SetCameraSync(bool on);
    void ToggleCameraSync();
    // Called when document is about to be saved as fileName: a save under another
    // name than the link's stops the link; the same name and auto-saves do not.
    void CheckSavedName(CRhinoDoc* doc, const char16_t* fileName);
    // Publishes the statistics record once per start (link_statistics.h).
    void SendLinkStatistics(const ON_wString& linkName, int32_t elapsedMicroseconds);

    // --- Change processing (velora_plugin_changes.cpp) ---------------------------------

    // Makes sure edits can be recorded: false (the event is dropped) while the link
    // is not running; otherwise enables the idle observer when it is off and creates
    // the change set when there is none.
    bool EnsureChangeSet();
    // Record one edit by runtime serial number (ChangeSet); nothing while the link
    // is not running. MarkObjectDeleted also forgets an earlier add or modify.
    void MarkObjectAdded(uint64_t serial);
    void MarkObjectModified(uint64_t serial);
    void MarkObjectDeleted(uint64_t serial);
    void MarkMaterialAdded(uint64_t serial);
    void MarkMaterialModified(uint64_t serial);
    void MarkMaterialDeleted(uint64_t serial);
    void MarkLayerAdded(uint64_t serial);
    void MarkLayerModified(uint64_t serial);
    void MarkLayerDeleted(uint64_t serial);
    void MarkMappingAdded(uint64_t serial);
    void MarkMappingModified(uint64_t serial);
    void MarkMappingDeleted(uint64_t serial);
    // The idle hook: stops the link when the peer closed it, otherwise applies the
    // pending changes.
    void OnIdle();
    // Applies the pending change set to the scene. When the scene cannot be taken
    // within 50 ms the set is kept, untouched, for the next idle pass. True when a
    // set was applied.
    bool ProcessChanges();
    // Grows the change set by what its changes imply (objects of changed layers,
    // materials and blocks).
    void ExpandChanges();
    // Whether object must be re-added because of the pending changes.
    bool DependsOnChanges(const CRhinoObject* object) const;
    // Deletes the pending change set (the link stopped).
    void DiscardChanges();

    // --- Queries ---------------------------------------------------------------------

    // Takes the document's unit system and its scale to metres into unitSystem,
    // unitScale and the scene's unitScale. Nothing for a null doc.
    void UpdateUnitScale(const CRhinoDoc* doc);
    // The host has an active view and it uses a perspective projection.
    bool IsPerspectiveActive() const;
    bool IsCameraSyncOn() const { return cameraSync; }
    // 1: this copy may load; -1: refuse (older_plugin_check.cpp).
    int CheckOlderPlugIn();

    // --- Owned sub-objects: null before OnLoadPlugIn and after a refused load ------------

    PluginSettings* settings() const { return settings_.get(); }                 // also after a refused load
    VantroAPI::LiveConnection* connection() const { return connection_.get(); }  // created unopened
    MaterialManager* materials() const { return materials_.get(); }
    RHScene* scene() const { return scene_.get(); }
    PluginUi* ui() const { return ui_.get(); }
    CameraObserver* cameraObserver() const { return cameraObserver_.get(); }
    RhinoObserver* documentObserver() const { return documentObserver_.get(); }
    IdleObserver* idleObserver() const { return idleObserver_.get(); }
    // The pending edits: null while the link is stopped and between idle passes that
    // found nothing to do.
    ChangeSet* changes() const { return changes_.get(); }

    // --- Fields, in the documented order ------------------------------------------------

    ON_wString versionText;         // the build date and time, as RhinoPlugInVersion
    ON_wString storedVersion;       // "PlugInVersion" from the profile; never acted on
    bool loadedOnce = false;        // "LoadedOnce": the toolbar has been shown once
    float unitScale = 1.0f;         // metres per document unit, set at link start
    uint8_t unitSystem = 0;         // ON::LengthUnitSystem at link start
    CRhinoDoc* document = nullptr;  // not owned: the linked document
    uint32_t linkState = 0;         // kLinkStopped or kLinkRunning, nothing else
    bool cameraSync = false;        // camera following requested
    uint8_t cameraPending = 0;      // camera synchronisation's own flag
    int reportedTrouble = 0;        // the RHScene::LinkTrouble last told to the user

    static constexpr uint32_t kLinkStopped = 0;
    static constexpr uint32_t kLinkRunning = 2;

private:
    // Declared in the order of creation: destroyed in reverse, the users of an object
    // before the object.
    std::unique_ptr<PluginSettings> settings_;
    std::unique_ptr<VantroAPI::LiveConnection> connection_;
    std::unique_ptr<MaterialManager> materials_;
    std::unique_ptr<RHScene> scene_;
    std::unique_ptr<PluginUi> ui_;
    std::unique_ptr<CameraObserver> cameraObserver_;
    std::unique_ptr<RhinoObserver> documentObserver_;
    std::unique_ptr<IdleObserver> idleObserver_;
    std::unique_ptr<ChangeSet> changes_;
};

// The single plug-in object of the loaded module.
VeloraPlugin& ThePlugIn();
