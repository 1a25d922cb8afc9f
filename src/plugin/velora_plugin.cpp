#include "plugin/velora_plugin.h"

#include "collada/collada_exporter.h"
#include "camera_observer.h"
#include "link/live_connection.h"
#include "materials/material_manager.h"
#include "platform/shared_memory.h"
#include "plugin/plugin_identity.h"
#include "settings/plugin_settings.h"
#include "idle_observer.h"
#include "scene/change_set.h"
#include "scene/rh_scene.h"
#include "rhino_observer.h"
#include "sdk/app/rhino_app.h"
#include "sdk/document/rhino_doc.h"
#include "sdk/app/rhino_profile_context.h"
#include "sdk/app/rhino_view.h"
#include "ui/plugin_ui.h"

using namespace vantro::plugin;

namespace {

constexpr char16_t kProfileVersion[] = u"PlugInVersion";
constexpr char16_t kProfileLoadedOnce[] = u"LoadedOnce";

}  // namespace

VeloraPlugin::VeloraPlugin() : versionText(ON_wString::FromUtf8(kBuildDateTime)) {}

VeloraPlugin::~VeloraPlugin() {
    // A link still running at exit ends before the objects it uses go; the members
    // then go in reverse order of declaration: observers and UI, scene, materials,
    // connection, settings.
    StopLink();
}

ON_UUID VeloraPlugin::PlugInID() const { return ON_UuidFromString(std::u16string_view(kPlugInIdText)); }

const char16_t* VeloraPlugin::PlugInName() const { return kPlugInName; }

const char16_t* VeloraPlugin::PlugInVersion() const { return versionText.Array(); }

int VeloraPlugin::OnLoadPlugIn() {
    settings_ = std::make_unique<PluginSettings>();
    if (settings_->CheckPluginVersion()) {
        const int allowed = CheckOlderPlugIn();
        if (allowed != 1)
            return allowed;
    }
    // Mappings left by crashed hosts or peers would otherwise sit in /dev/shm until
    // something tried their names; stale announcements are swept by Create.
    vantro::platform::SharedMemory::reclaimAbandoned();
    connection_ = std::make_unique<VantroAPI::LiveConnection>();
    materials_ = std::make_unique<MaterialManager>(connection_.get());
    scene_ = std::make_unique<RHScene>(connection_.get(), materials_.get());
    ui_ = std::make_unique<PluginUi>(this, PlugInInstance());
    cameraObserver_ = std::make_unique<CameraObserver>(this);
    documentObserver_ = std::make_unique<RhinoObserver>(this);
    idleObserver_ = std::make_unique<IdleObserver>(this, PlugInID());
    if (void* menu = ui_->CreatePluginMenu())
        InsertPlugInMenuToRhinoMenu(menu, 0);
    ui_->CreateDockBar();
    if (!loadedOnce) {
        ui_->ShowToolbar();
        loadedOnce = true;
    }
    return 1;
}

void VeloraPlugin::OnUnloadPlugIn() { StopLink(); }

void VeloraPlugin::LoadProfile(const char16_t* section, CRhinoProfileContext& pc) {
    pc.LoadProfileString(section, kProfileVersion, storedVersion);
    pc.LoadProfileBool(section, kProfileLoadedOnce, &loadedOnce);
}

void VeloraPlugin::SaveProfile(const char16_t* section, CRhinoProfileContext& pc) {
    pc.SaveProfileString(section, kProfileVersion, versionText.Array());
    pc.SaveProfileBool(section, kProfileLoadedOnce, loadedOnce);
}

void VeloraPlugin::OnSaveAllSettings() {}

bool VeloraPlugin::CallWriteDocument(const CRhinoFileWriteOptions&) { return true; }

void VeloraPlugin::OnInitPlugInMenuPopups(uintptr_t wParam, intptr_t) {
    if (wParam != 0 && ui_)
        ui_->UpdateMenu(reinterpret_cast<void*>(wParam));
}

bool VeloraPlugin::OnPlugInMenuCommand(uintptr_t wParam) {
    switch (wParam) {
        case kMenuStart: StartLink(RhinoApp().ActiveDoc()); return true;
        case kMenuStop: StopLink(); return true;
        case kMenuCameraSync: ToggleCameraSync(); return true;
        case kMenuSettings:
            if (linkState == kLinkStopped && ui_)
                ui_->ShowSettingsDialog();
            return true;
        case kMenuAbout:
            if (ui_)
                ui_->ShowAboutDialog();
            return true;
        case kMenuToolbar:
            if (ui_)
                ui_->IsToolbarVisible() ? ui_->HideToolbar() : ui_->ShowToolbar();
            return true;
        case kMenuExportCollada: {
            ColladaExporter exporter;
            exporter.Export();
            return true;
        }
        default: return false;  // the status line, the camera and status buttons, unknown ids
    }
}

bool VeloraPlugin::AddToPlugInHelpMenu() const { return false; }

bool VeloraPlugin::WriteDocument(CRhinoDoc&, ON_BinaryArchive&, const CRhinoFileWriteOptions&) { return true; }

bool VeloraPlugin::ReadDocument(CRhinoDoc&, ON_BinaryArchive&, const CRhinoFileReadOptions&) { return true; }

void VeloraPlugin::UpdateUnitScale(const CRhinoDoc* doc) {
    if (!doc)
        return;
    const ON::LengthUnitSystem units = doc->UnitSystem();
    unitSystem = static_cast<uint8_t>(units);
    unitScale = static_cast<float>(ON::UnitScale(units, ON::LengthUnitSystem::Meters));
    if (scene_)
        scene_->unitScale = unitScale;
}

bool VeloraPlugin::IsPerspectiveActive() const {
    const CRhinoView* view = RhinoApp().ActiveView();
    return view && view->ActiveViewport().VP().IsPerspectiveProjection();
}
