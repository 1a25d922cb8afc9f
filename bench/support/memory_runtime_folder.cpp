#include "support/memory_runtime_folder.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <stdlib.h>

namespace vantro::bench {
namespace {

std::string& madeFolder() {
    static std::string folder;
    return folder;
}

void removeMadeFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(madeFolder(), ignored);
}

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

}  // namespace

void UseMemoryRuntimeFolder() {
    if (isSet("VANTRO_RUNTIME_DIR") || isSet("XDG_RUNTIME_DIR") || !madeFolder().empty())
        return;
    std::error_code error;
    if (!std::filesystem::is_directory("/dev/shm", error))
        return;
    char pattern[] = "/dev/shm/vantro-bench-XXXXXX";  // mkdtemp makes it 0700
    if (!::mkdtemp(pattern)) {
        std::perror("bench: no runtime folder in /dev/shm; the links stay in the default one");
        return;
    }
    madeFolder() = pattern;
    std::atexit(removeMadeFolder);
    ::setenv("VANTRO_RUNTIME_DIR", pattern, 1);
}

}  // namespace vantro::bench
