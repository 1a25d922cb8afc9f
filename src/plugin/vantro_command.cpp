#include "vantro_command.h"

#include <array>

#include "plugin/plugin_identity.h"
#include "plugin/velora_plugin.h"
#include "sdk/document/rhino_doc.h"
#include "sdk/app/rhino_get_option.h"
#include "ui/plugin_ui.h"

namespace {

enum class VantroOption { about, start, stop, cameraSync, cameraStop, settings };

constexpr std::array<const char16_t*, 6> kOptionNames = {u"About",      u"Start",      u"Stop",
                                                         u"CameraSync", u"CameraStop", u"Settings"};

void regenerate(CRhinoDoc* doc) {
    if (doc)
        doc->Regen();
}

CRhinoCommand::result runOption(VantroOption option, CRhinoDoc* doc) {
    VeloraPlugin& plugIn = ThePlugIn();
    switch (option) {
        case VantroOption::about:
            if (plugIn.ui())
                plugIn.ui()->ShowAboutDialog();
            break;
        case VantroOption::start: plugIn.StartLink(doc); break;
        case VantroOption::stop: plugIn.StopLink(); break;
        case VantroOption::cameraSync:
            if (plugIn.linkState != VeloraPlugin::kLinkRunning)
                plugIn.StartLink(doc);
            plugIn.SetCameraSync(true);
            regenerate(doc);
            break;
        case VantroOption::cameraStop:
            plugIn.SetCameraSync(false);
            regenerate(doc);
            break;
        case VantroOption::settings:
            if (plugIn.linkState == VeloraPlugin::kLinkStopped && plugIn.ui())
                plugIn.ui()->ShowSettingsDialog();
            break;
    }
    return CRhinoCommand::success;
}

}  // namespace

CVantroCommand::CVantroCommand() : CRhinoCommand(false, false, nullptr, false) {}

CVantroCommand::~CVantroCommand() = default;

ON_UUID CVantroCommand::CommandUUID() { return ON_UuidFromString(std::u16string_view(vantro::plugin::kCommandIdText)); }

const char16_t* CVantroCommand::EnglishCommandName() { return u"Vantro"; }

CRhinoCommand::result CVantroCommand::RunCommand(const CRhinoCommandContext& context) {
    CRhinoGetOption get;
    get.SetCommandPrompt(u"Select action:");
    get.AcceptNothing();
    std::array<int, kOptionNames.size()> indices{};
    for (size_t i = 0; i < kOptionNames.size(); ++i)
        indices[i] = get.AddCommandOption(CRhinoCommandOptionName(kOptionNames[i], kOptionNames[i]));
    const CRhinoGet::result answer = get.GetOption();
    if (answer == CRhinoGet::nothing)
        return success;
    if (answer == CRhinoGet::cancel)
        return cancel;
    const CRhinoCommandOption* option = get.Option();
    if (answer != CRhinoGet::option || !option)
        return failure;
    for (size_t i = 0; i < indices.size(); ++i)
        if (indices[i] != 0 && option->m_option_index == indices[i])
            return runOption(static_cast<VantroOption>(i), context.Document());
    return failure;
}
