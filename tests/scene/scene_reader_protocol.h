#pragma once
// What the scene tests and velora-scene-reader agree on (see scene_reader.cpp).

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vantro::test {

constexpr uint32_t kDumpMessage = 0x8730;  // wParam: sequence number of the dump
constexpr uint32_t kQuitMessage = 0x8731;
constexpr uint32_t kHoldLockMessage = 0x8732;  // wParam: milliseconds to keep the lock

struct DumpedRecord {
    uint32_t changeCount = 0;
    uint32_t buffer = 0;
    uint32_t capacity = 0;
    uint32_t status = 0;  // 0 read, 1 buffer missing, 2 counts larger than the buffer
    std::vector<uint8_t> bytes;
};

// Record id -> what the reader's mirror held; nothing for a missing or malformed file.
inline std::optional<std::map<uint32_t, DumpedRecord>> readDump(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::nullopt;
    const std::vector<uint8_t> data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    size_t at = 0;
    auto word = [&](uint32_t& out) {
        if (data.size() - at < 4)
            return false;
        std::memcpy(&out, data.data() + at, 4);
        return (at += 4) != 0;
    };
    std::map<uint32_t, DumpedRecord> records;
    uint32_t count = 0;
    if (!word(count))
        return std::nullopt;
    for (uint32_t k = 0; k < count; ++k) {
        uint32_t id = 0, size = 0;
        DumpedRecord r;
        if (!word(id) || !word(r.changeCount) || !word(r.buffer) || !word(r.capacity) || !word(r.status) ||
            !word(size) || data.size() - at < size)
            return std::nullopt;
        r.bytes.assign(data.begin() + long(at), data.begin() + long(at + size));
        at += size;
        records[id] = std::move(r);
    }
    return records;
}

}  // namespace vantro::test
