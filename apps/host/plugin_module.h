#pragma once
// PluginModule: a plug-in module file (a shared library) opened into the host process.
//
// Opening runs the module's static constructors: its plug-in object and commands hand
// themselves to the application then, so callers bracket open() with
// CRhinoApp::BeginPlugInModuleLoad and CRhinoApp::LoadPlugIn (PluginHost does).
// A module is never closed: the application keeps pointers to the plug-in object and
// commands inside it until the process ends, as the modelling application keeps its
// plug-in libraries. The object itself only holds the handle.
//
// The operating-system side lives in posix/plugin_module.cpp (a Windows build would
// put LoadLibraryW/GetProcAddress beside it).
// Main thread only.

#include <memory>
#include <string>

namespace vantro::host {

class PluginModule {
public:
    // Opens the module at path (UTF-8) with every symbol resolved at once, so that a
    // module missing a symbol fails here and not in the middle of a command. Null with
    // the system's reason in error when it cannot be opened.
    static std::unique_ptr<PluginModule> open(const std::string& path, std::string& error);

    // The address of an exported symbol of this module; null when it has none.
    void* symbol(const char* name) const;
    // The system's handle, for CRhinoApp::LoadPlugIn.
    void* handle() const { return handle_; }
    const std::string& path() const { return path_; }

private:
    PluginModule(void* handle, std::string path) : handle_(handle), path_(std::move(path)) {}
    void* handle_;
    std::string path_;
};

// Whether standard input is an interactive terminal (prompts are shown only then).
bool standardInputIsTerminal();

}  // namespace vantro::host
