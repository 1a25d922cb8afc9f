// The start and stop of the link, camera requests and the save-name check.

#include <algorithm>

#include "discovery/check_velora.h"
#include "camera_observer.h"
#include "link/live_connection.h"
#include "materials/material_manager.h"
#include "platform/clock.h"
#include "link_name.h"
#include "link_statistics.h"
#include "settings/plugin_settings.h"
#include "plugin/velora_plugin.h"
#include "idle_observer.h"
#include "scene/rh_scene.h"
#include "rhino_observer.h"
#include "sdk/app/rhino_app.h"
#include "sdk/document/rhino_doc.h"
#include "sdk/document/rhino_material_table.h"
#include "ui/plugin_ui.h"
#include "ui/web_addresses.h"

using namespace vantro::plugin;

namespace {

constexpr uint32_t kMinimumSlots = 5000;

constexpr char16_t kRunningNow[] = u"Vantro is running now.\n";
constexpr char16_t kStartFirst[] = u"ERROR: You need to start Vantro first";
constexpr char16_t kCameraEnabled[] = u"Vantro: camera synchronization enabled.\n";
constexpr char16_t kCameraDisabled[] = u"Vantro: camera synchronization disabled.\n";

// The Velora check asks through the plug-in's message boxes.
class MessageBoxQuestions : public vantro::discovery::VeloraQuestions {
public:
    explicit MessageBoxQuestions(PluginUi& ui) : ui_(ui) {}
    bool AskStartVelora(bool notRunning) override { return ui_.AskStartVelora(notRunning); }
    bool AskNewerVelora() override { return ui_.AskNewerVelora(); }
    std::u16string HomePageUrl() override { return ::HomePageUrl().Array(); }

private:
    PluginUi& ui_;
};

uint32_t slotCountFor(const CRhinoDoc& doc) {
    const uint64_t wanted = 4ull * static_cast<uint64_t>(std::max(0, doc.m_material_table.MaterialCount()));
    return static_cast<uint32_t>(std::clamp<uint64_t>(wanted, kMinimumSlots, UINT32_MAX));
}

}  // namespace

bool VeloraPlugin::StartLink(CRhinoDoc* doc) {
    if (linkState != kLinkStopped) {
        RhinoApp().Print(kRunningNow);
        return false;
    }
    // Loading refused by the older-copy check leaves nothing to start with.
    if (!connection_ || !settings_ || !ui_)
        return false;
    document = doc;
    const ON_wString path = doc ? doc->GetPathName() : ON_wString();
    if (path.IsEmpty()) {
        ui_->ShowSaveFirst();
        return false;
    }
    const std::u16string linkName = LinkNameFromPath(path.Array());
    settings_->Read();
    if (!settings_->SkipVeloraCheck()) {
        MessageBoxQuestions questions(*ui_);
        if (vantro::discovery::CheckVelora(questions) == 0)
            return false;
    }

    const uint64_t t0 = vantro::platform::monotonicNanoseconds();
    RhinoApp().Print(u"Velora Vantro: initializing\u2026\n");
    if (connection_->Create(linkName, slotCountFor(*doc)) != 0) {
        ui_->ShowFileInUse(ON_wString(LinkFileName(linkName).c_str()));
        return false;
    }
    linkState = kLinkRunning;
    reportedTrouble = 0;
    UpdateUnitScale(doc);
    RhinoApp().SetStatusBarMessagePane(u"");
    materials_->LoadMaterials(doc);
    scene_->Load(doc, settings_.get(), false);
    scene_->ReleaseScene();
    RhinoApp().SetStatusBarMessagePane(u"Velora Vantro: started.");
    RhinoApp().Print(u"Vantro started.\n");
    for (const std::u16string& warning : LinkNameWarnings(linkName))
        RhinoApp().PrintText(ON_wString(warning.c_str()));
    if (settings_->CameraAutoSync()) {
        cameraSync = true;
        cameraObserver_->FollowView(RhinoApp().ActiveView());
    }
    ui_->RefreshUi();
    documentObserver_->Enable(true);
    idleObserver_->Enable(true);
    const uint64_t elapsedNs = vantro::platform::monotonicNanoseconds() - t0;
    SendLinkStatistics(ON_wString(linkName.c_str()), static_cast<int32_t>(elapsedNs / 1000));
    return true;
}

bool VeloraPlugin::StopLink() {
    if (linkState == kLinkStopped)
        return false;
    linkState = kLinkStopped;
    cameraSync = false;
    cameraObserver_->StopFollowing();
    documentObserver_->Enable(false);
    idleObserver_->Enable(false);
    scene_->Clear();
    materials_->Clear();
    connection_->Close();
    DiscardChanges();
    RhinoApp().Print(u"Vantro stopped.\n");
    RhinoApp().SetStatusBarMessagePane(u"Vantro stopped.");
    ui_->RefreshUi();
    return true;
}

void VeloraPlugin::SetCameraSync(bool on) {
    cameraSync = on;
    if (on) {
        if (linkState != kLinkRunning) {
            RhinoApp().Print(kStartFirst);
            return;
        }
        if (cameraObserver_)
            cameraObserver_->FollowView(RhinoApp().ActiveView());
        RhinoApp().Print(kCameraEnabled);
    } else {
        if (cameraObserver_)
            cameraObserver_->StopFollowing();
        RhinoApp().Print(kCameraDisabled);
    }
    if (ui_)
        ui_->RefreshUi();
}

void VeloraPlugin::ToggleCameraSync() {
    const bool previous = cameraSync;
    cameraSync = !previous;
    if (previous) {
        if (cameraObserver_)
            cameraObserver_->StopFollowing();
        RhinoApp().Print(kCameraDisabled);
    } else if (linkState != kLinkRunning) {
        RhinoApp().Print(kStartFirst);
        return;
    } else {
        if (cameraObserver_)
            cameraObserver_->FollowView(RhinoApp().ActiveView());
        RhinoApp().Print(kCameraEnabled);
    }
    if (ui_)
        ui_->RefreshUi();
}

void VeloraPlugin::CheckSavedName(CRhinoDoc*, const char16_t* fileName) {
    if (!connection_ || !connection_->IsOpen() || !fileName)
        return;
    const std::u16string_view saved(fileName);
    const CRhinoAppFileSettings& files = RhinoApp().AppSettings().FileSettings();
    if (files.AutoSaveEnabled()) {
        std::u16string autoSave = files.AutoSaveFile().Array();
        std::replace(autoSave.begin(), autoSave.end(), u'\\', u'/');
        const size_t slash = autoSave.rfind(u'/');
        const std::u16string autoSaveName = slash == std::u16string::npos ? autoSave : autoSave.substr(slash + 1);
        // A folder path without a file name names no auto-save file to recognise.
        if (!autoSaveName.empty() && saved.find(autoSaveName) != std::u16string_view::npos)
            return;
    }
    if (LinkNameFromPath(saved) != connection_->GetName())
        StopLink();
}

void VeloraPlugin::SendLinkStatistics(const ON_wString& linkName, int32_t elapsedMicroseconds) {
    if (!connection_)
        return;
    connection_->SetStatistics(BuildLinkStatistics(RhinoAppVersionBuildDescription(), RhinoAppVersionQuartetAsString(),
                                                   linkName.Array(), elapsedMicroseconds, cameraSync));
}
