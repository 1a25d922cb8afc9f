#include "plugin_host.h"

#include <filesystem>

#include "sdk/app/rhino_app.h"
#include "sdk/app/rhino_plug_in.h"

namespace vantro::host {

namespace {

using WideTextExport = const char16_t* (*)();
using NarrowTextExport = const char* (*)();

// The text an export returns; empty when the module lacks it or it returns null.
std::string wideExport(const PluginModule& module, const char* name) {
    auto function = reinterpret_cast<WideTextExport>(module.symbol(name));
    const char16_t* text = function ? function() : nullptr;
    return text ? ON_wString(text).ToUtf8() : std::string();
}

std::string narrowExport(const PluginModule& module, const char* name) {
    auto function = reinterpret_cast<NarrowTextExport>(module.symbol(name));
    const char* text = function ? function() : nullptr;
    return text ? std::string(text) : std::string();
}

// The module's own path as the application gives it to the plug-in: full and
// normalised, whatever the user typed ("./lib/../libvantro.so"), so that the plug-in
// can compare it with the path it is registered under.
std::string fullPath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

CRhinoPlugIn* pluginObject(const LoadedPlugin& module) {
    const ON_UUID id = ON_UuidFromString(std::string_view(module.identity.id));
    CRhinoPlugInRecord* record = ON_UuidIsNil(id) ? nullptr : CRhinoPlugIn::GetPlugIn(id);
    return record ? record->PlugIn() : nullptr;
}

}  // namespace

int PluginHost::load(const std::string& path, std::string& error) {
    LoadedPlugin loaded;
    loaded.path = path;
    RhinoApp().BeginPlugInModuleLoad();
    std::unique_ptr<PluginModule> module = PluginModule::open(path, error);
    if (!module) {
        RhinoApp().CancelPlugInModuleLoad();
        modules_.push_back(std::move(loaded));
        return 0;
    }
    // The system hands out the same module again for a file already open, without
    // constructing its objects anew: there is nothing to load a second time.
    for (const LoadedPlugin& earlier : modules_)
        if (earlier.module && earlier.module->handle() == module->handle()) {
            RhinoApp().CancelPlugInModuleLoad();
            error = "this module is already loaded (from " + earlier.path + ")";
            loaded.identity = earlier.identity;
            modules_.push_back(std::move(loaded));
            return 0;
        }

    loaded.identity.name = wideExport(*module, "RhinoPlugInName");
    loaded.identity.id = wideExport(*module, "RhinoPlugInId");
    loaded.identity.version = narrowExport(*module, "RhinoPlugInVersion");
    loaded.identity.description = wideExport(*module, "RhinoPlugInDescription");
    loaded.identity.organization = wideExport(*module, "RhinoPlugInDeveloperOrganization");
    if (loaded.identity.name.empty() || ON_UuidIsNil(ON_UuidFromString(std::string_view(loaded.identity.id)))) {
        RhinoApp().CancelPlugInModuleLoad();
        error = path + " is not a plug-in module: it needs the exports RhinoPlugInName and RhinoPlugInId";
        modules_.push_back(std::move(loaded));
        modules_.back().module = std::move(module);
        return 0;
    }
    // A copy of a loaded plug-in (another file, the same id) would take over the
    // first one's record and commands; the host keeps the first.
    for (const LoadedPlugin& earlier : modules_)
        if (earlier.loadResult == 1 && earlier.identity.id == loaded.identity.id && pluginObject(earlier)) {
            RhinoApp().CancelPlugInModuleLoad();
            error = "the plug-in " + loaded.identity.name + " (id " + loaded.identity.id + ") is already loaded from " +
                    earlier.path;
            loaded.module = std::move(module);
            modules_.push_back(std::move(loaded));
            return 0;
        }
    loaded.loadResult = RhinoApp().LoadPlugIn(ON_wString::FromUtf8(fullPath(path)), module->handle());
    loaded.module = std::move(module);
    modules_.push_back(std::move(loaded));
    const LoadedPlugin& entry = modules_.back();
    if (entry.loadResult == 1 && !pluginObject(entry))
        error = "the plug-in object's id differs from the module's RhinoPlugInId " + entry.identity.id;
    else if (entry.loadResult == 0)
        error = "the plug-in " + entry.identity.name + " failed to load";
    return entry.loadResult;
}

std::vector<CRhinoPlugIn*> PluginHost::loadedPlugIns() const {
    std::vector<CRhinoPlugIn*> plugIns;
    for (const LoadedPlugin& module : modules_)
        if (CRhinoPlugIn* plugIn = module.loadResult == 1 ? pluginObject(module) : nullptr)
            plugIns.push_back(plugIn);
    return plugIns;
}

bool PluginHost::menuCommand(uintptr_t id) {
    for (CRhinoPlugIn* plugIn : loadedPlugIns())
        if (plugIn->OnPlugInMenuCommand(id))
            return true;
    return false;
}

int PluginHost::openMenus() {
    int opened = 0;
    for (const auto& [plugIn, menu] : RhinoApp().PlugInMenus()) {
        plugIn->OnInitPlugInMenuPopups(reinterpret_cast<uintptr_t>(menu), 0);
        ++opened;
    }
    return opened;
}

}  // namespace vantro::host
