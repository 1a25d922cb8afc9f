#pragma once
// PluginHost: loads plug-in modules into the application and reaches the plug-in
// objects inside them.
//
// A plug-in module exports plain C functions that identify it before it loads. The
// host reads (wide text is UTF-16, as everywhere in the SDK):
//   const char16_t* RhinoPlugInName()      required
//   const char16_t* RhinoPlugInId()        required; the plug-in's UUID as text
//   const char*     RhinoPlugInVersion()   optional (narrow text)
//   const char16_t* RhinoPlugInDescription(), RhinoPlugInDeveloperOrganization()
//                                          optional
// and then hands the module to CRhinoApp::LoadPlugIn, which runs the plug-in object's
// LoadProfile and OnLoadPlugIn. Its commands (e.g. "Vantro") are then known to the
// application and run by name; its menu commands go through menuCommand().
// Main thread only.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "plugin_module.h"

class CRhinoPlugIn;

namespace vantro::host {

struct PluginIdentity {
    std::string name;          // UTF-8
    std::string id;            // as the module gives it
    std::string version;       // may be empty
    std::string description;   // may be empty
    std::string organization;  // may be empty
};

struct LoadedPlugin {
    std::string path;                      // as given to load()
    std::unique_ptr<PluginModule> module;  // null when the file could not be opened
    PluginIdentity identity;
    int loadResult = 0;  // OnLoadPlugIn's: 1 loaded, 0 failed, -1 refused silently
};

class PluginHost {
public:
    // Opens the module at path and loads its plug-in. Returns the load result (1 when
    // the plug-in is loaded); 0 with a message in error when the module cannot be
    // opened or lacks the required exports, or when OnLoadPlugIn failed; -1 when the
    // plug-in refused to load. error may also hold a warning with result 1. Every call
    // adds an entry to modules(); a module that opened stays open whatever the result.
    int load(const std::string& path, std::string& error);

    const std::vector<LoadedPlugin>& modules() const { return modules_; }
    // The plug-in objects that loaded and are still loaded (not yet unloaded by
    // CRhinoApp::CloseRhino), in load order.
    std::vector<CRhinoPlugIn*> loadedPlugIns() const;

    // Passes a menu (or dock-bar) command identifier to the loaded plug-ins in load
    // order until one handles it. False when none did.
    bool menuCommand(uintptr_t id);
    // Tells each plug-in that one of its menus opens (OnInitPlugInMenuPopups with the
    // menu it inserted). Returns how many menus were opened.
    int openMenus();

private:
    std::vector<LoadedPlugin> modules_;
};

}  // namespace vantro::host
