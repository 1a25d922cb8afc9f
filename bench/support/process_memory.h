#pragma once
// What the benchmarks weigh memory with: this process's resident figures and the bytes
// of the link's shared memory it holds (the main mapping and this process's buffers),
// which are files in the platform layer's shared-memory folder on this system.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "platform/shared_memory.h"
#include "platform/utf.h"

namespace vantro::bench {

// A /proc/self/status value in bytes ("VmRSS", "VmHWM"); 0 when absent.
inline uint64_t statusBytes(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field + ":", 0) == 0)
            return std::stoull(line.substr(field.size() + 1)) * 1024;
    return 0;
}

// The link's main mapping (named after the link) and the buffers this process made
// (named after it), in bytes.
inline uint64_t linkMappingBytes(const std::u16string& linkName) {
    using platform::SharedMemory;
    const std::string main = SharedMemory::posixName(linkName).substr(1);
    const std::u16string pid = platform::fromUtf8(std::to_string(::getpid()));
    const std::string buffers = SharedMemory::posixName(u"VantroAPI/" + pid + u"/").substr(1);
    uint64_t bytes = 0;
    for (const auto& entry : std::filesystem::directory_iterator(SharedMemory::directory())) {
        const std::string name = entry.path().filename().string();
        if (name == main || name.rfind(buffers, 0) == 0)
            bytes += entry.file_size();
    }
    return bytes;
}

}  // namespace vantro::bench
