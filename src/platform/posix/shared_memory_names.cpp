#include "platform/shared_memory.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <vector>

namespace vantro::platform {

bool SharedMemory::namePresent(std::u16string_view kernelName) {
    if (kernelName.empty())
        return false;
    const std::string path = directory() + posixName(kernelName);
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

size_t SharedMemory::openedSizeGranularity() { return 1; }

SharedMemory::ReclaimCount SharedMemory::reclaimNumbered(std::u16string_view prefix) {
    // The file names share everything but the eight hex digits at their end, which
    // the encoding keeps as they are.
    const std::u16string sampleName = std::u16string(prefix) + u"00000000";
    const std::string sample = posixName(sampleName).substr(1);
    const std::string filePrefix = sample.substr(0, sample.size() - 8);
    std::vector<uint32_t> ids;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(directory(), error)) {
        const std::string file = entry.path().filename().string();
        uint32_t id = 0;
        if (file.size() != sample.size() || file.compare(0, filePrefix.size(), filePrefix) != 0)
            continue;
        const char* digits = file.data() + filePrefix.size();
        if (std::from_chars(digits, digits + 8, id, 16).ptr == digits + 8)
            ids.push_back(id);
    }
    ReclaimCount result;
    for (uint32_t id : ids) {
        char hex[9];
        std::snprintf(hex, sizeof hex, "%08X", id);
        const std::u16string name = std::u16string(prefix) + std::u16string(hex, hex + 8);
        // A probe removes a name whose holders all died.
        if (exists(name))
            ++result.held;
        else if (!namePresent(name))
            ++result.removed;
    }
    return result;
}

}  // namespace vantro::platform
