#pragma once
// Files as the tests handle them: whole files read and written as bytes, a file time
// set to a known instant.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/test_environment.h"

namespace vantro::test {

// The whole file as bytes; empty when it cannot be read.
inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Replaces the file with content, byte for byte.
inline void writeFile(const std::filesystem::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

// 2020-01-01T00:00:00Z, as a Windows file time (100 ns ticks since 1601) and on the
// file system's clock.
constexpr uint64_t kNewYear2020FileTime = 132223104000000000ull;
inline std::filesystem::file_time_type newYear2020() {
    const auto day = std::chrono::sys_days(std::chrono::year(2020) / 1 / 1);
    return std::chrono::file_clock::from_sys(std::chrono::time_point_cast<std::chrono::system_clock::duration>(
        std::chrono::sys_time<std::chrono::seconds>(day)));
}

// The older name of ScopedVariable.
using ScopedEnv = ScopedVariable;

}  // namespace vantro::test
