#pragma once
// Helpers shared by the link tests: the programs they start, fields of the peer's
// output lines, a channel's names in /dev/shm and a connection's announcement.

#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "link/live_connection.h"
#include "platform/registry.h"
#include "platform/shared_memory.h"
#include "platform/utf.h"

namespace vantro::test {

inline std::string peerPath() { return VELORA_PEER_PATH; }
inline std::string creatorChildPath() { return LINK_CREATOR_CHILD_PATH; }
inline std::string windowsChildPath() { return VELORA_WINDOWS_CHILD_PATH; }

inline std::string utf8(const std::u16string& text) { return platform::toUtf8(text); }

inline std::string shmPath(const std::u16string& kernelName) {
    return platform::SharedMemory::directory() + platform::SharedMemory::posixName(kernelName);
}

// The text after "key=" up to the next blank in line; empty when absent.
inline std::string fieldOf(const std::string& line, const std::string& key) {
    const std::string marker = key + "=";
    size_t at = line.find(marker);
    while (at != std::string::npos && at != 0 && line[at - 1] != ' ')
        at = line.find(marker, at + 1);
    if (at == std::string::npos)
        return {};
    const size_t begin = at + marker.size();
    return line.substr(begin, line.find(' ', begin) - begin);
}

inline uint64_t numberOf(const std::string& line, const std::string& key) {
    return std::stoull(fieldOf(line, key), nullptr, 0);
}

// Lines of output containing text.
inline std::vector<std::string> linesWith(const std::string& output, const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);)
        if (line.find(text) != std::string::npos)
            lines.push_back(line);
    return lines;
}

// The DWORD stored for a connection name in the announcements key, if any.
inline std::optional<uint32_t> announcedValue(const std::u16string& name) {
    platform::RegistryKey key;
    platform::RegType type{};
    std::vector<uint8_t> data;
    if (platform::RegistryKey::open(platform::RegHive::currentUser, VantroAPI::kConnectionsKey, key) != 0 ||
        key.queryValue(name, &type, &data) != 0 || type != platform::RegType::dword || data.size() != 4)
        return std::nullopt;
    return uint32_t{data[0]} | uint32_t{data[1]} << 8 | uint32_t{data[2]} << 16 | uint32_t{data[3]} << 24;
}

inline void announce(const std::u16string& name, uint32_t value) {
    platform::RegistryKey key;
    platform::RegistryKey::create(platform::RegHive::currentUser, VantroAPI::kConnectionsKey, key);
    key.setDword(name, value);
}

}  // namespace vantro::test
