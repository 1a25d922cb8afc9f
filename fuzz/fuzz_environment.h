#pragma once
// A private registry root and runtime directory for a fuzz target that opens
// connections, so that fuzzing never touches the user's announcements or windows.
// Made once per process, removed at exit.

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace vantro::fuzz {

inline void usePrivateEnvironment() {
    // A plain array: the exit handler runs after static strings are destroyed.
    static char root[4096];
    if (root[0] != '\0')
        return;
    const std::string pattern = (std::filesystem::temp_directory_path() / "vantro-fuzz-XXXXXX").string();
    if (pattern.size() >= sizeof root)
        std::abort();
    pattern.copy(root, pattern.size());
    if (!::mkdtemp(root))
        std::abort();
    ::setenv("VANTRO_REGISTRY_ROOT", (std::string(root) + "/registry").c_str(), 1);
    ::setenv("VANTRO_RUNTIME_DIR", (std::string(root) + "/runtime").c_str(), 1);
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    });
}

// A connection name unique to this process.
inline std::u16string connectionName(const char* stem) {
    const std::string text = std::string(stem) + "-" + std::to_string(::getpid());
    return std::u16string(text.begin(), text.end());
}

}  // namespace vantro::fuzz
