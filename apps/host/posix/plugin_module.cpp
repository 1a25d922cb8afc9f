// POSIX side of the host program's module loading and terminal check. These are the
// only operating-system calls of vantro-host; they sit here, behind plugin_module.h,
// like the platform layer's own per-OS files.

#include "plugin_module.h"
#include "terminal_progress.h"

#include <dlfcn.h>
#include <unistd.h>

namespace vantro::host {

std::unique_ptr<PluginModule> PluginModule::open(const std::string& path, std::string& error) {
    // A relative path without a slash would make the loader search the library path;
    // the user means the file.
    const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    dlerror();
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        error = why ? why : "the module could not be loaded";
        return nullptr;
    }
    return std::unique_ptr<PluginModule>(new PluginModule(handle, path));
}

void* PluginModule::symbol(const char* name) const {
    // The module's own export only, not a symbol of the same name found elsewhere.
    void* address = dlsym(handle_, name);
    if (!address)
        return nullptr;
    Dl_info info{};
    void* self = nullptr;
    if (dladdr(address, &info) != 0 && info.dli_fname)
        self = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
    const bool own = self == handle_;
    if (self)
        dlclose(self);
    return own ? address : nullptr;
}

bool standardInputIsTerminal() { return isatty(STDIN_FILENO) == 1; }

bool standardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace vantro::host
