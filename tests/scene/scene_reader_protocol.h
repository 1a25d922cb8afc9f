#pragma once
// What the scene tests and velora-scene-reader agree on (see scene_reader.cpp).

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace vantro::test {

constexpr uint32_t kDumpMessage = 0x8730;  // wParam: sequence number of the dump
constexpr uint32_t kQuitMessage = 0x8731;
constexpr uint32_t kHoldLockMessage = 0x8732;  // wParam: milliseconds to keep the lock

// FNV-1a over a record's geometry bytes: the wake log's fingerprint of what the
// reader held after each wake-up.
inline uint64_t geometryHash(const uint8_t* bytes, size_t size) {
    uint64_t h = 14695981039346656037ull;
    for (size_t i = 0; i < size; ++i)
        h = (h ^ bytes[i]) * 1099511628211ull;
    return h;
}

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

struct WakeState {
    uint32_t wake = 0;
    std::map<uint32_t, uint64_t> hashes;  // record id -> geometryHash of its bytes
    std::map<uint32_t, uint32_t> status;  // record id -> status (as in DumpedRecord)
};

// The wake log: lines "wake <n>" then " <record id>:<status>:<hash hex>" per record.
inline std::vector<WakeState> readWakeLog(const std::string& path) {
    std::vector<WakeState> out;
    std::ifstream file(path);
    std::string line, word;
    while (std::getline(file, line)) {
        std::istringstream in(line);
        WakeState state;
        if (!(in >> word >> state.wake) || word != "wake")
            continue;
        uint32_t id = 0, status = 0;
        uint64_t hash = 0;
        char c1 = 0, c2 = 0;
        while (in >> std::dec >> id >> c1 >> status >> c2 >> std::hex >> hash && c1 == ':' && c2 == ':') {
            state.status[id] = status;
            state.hashes[id] = hash;
        }
        out.push_back(std::move(state));
    }
    return out;
}

}  // namespace vantro::test
