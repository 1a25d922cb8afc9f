#pragma once
// Files some tests read from outside the repository: the shared sample documents
// under VANTRO_TESTDATA_DIR (by default ../shared/testdata beside the checkout). A
// fresh clone does not have them, so a test that needs them skips, naming what is
// missing.

#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>

namespace vantro::test {

// The full path of a file of the shared test data ("3dm/house.3dm").
inline std::string testdataPath(const std::string& relative) {
    return std::string(VANTRO_TESTDATA_DIR) + "/" + relative;
}

// Why the shared test data cannot serve these files (the first one absent), or nothing.
inline std::optional<std::string> missingTestdata(std::initializer_list<std::string> relatives) {
    std::error_code ignored;
    for (const std::string& relative : relatives) {
        const std::string path = testdataPath(relative);
        if (!std::filesystem::is_regular_file(path, ignored))
            return "missing outside test data: " + path +
                   " (the shared sample documents are not part of the repository; configure with "
                   "-DVANTRO_TESTDATA_DIR=<folder> to point at them)";
    }
    return std::nullopt;
}

// Why .3dm documents cannot be read here (the converter needs node and the rhino3dm
// package that scripts/setup.sh installs into tools/), or nothing.
inline std::optional<std::string> missing3dmReader() {
    std::error_code ignored;
    if (!std::filesystem::exists(std::string(VANTRO_SOURCE_DIR) + "/tools/node_modules/rhino3dm", ignored))
        return "tools/node_modules (rhino3dm) is missing: scripts/setup.sh installs it";
    if (std::system("node --version > /dev/null 2>&1") != 0)
        return "node is not on PATH";
    return std::nullopt;
}

}  // namespace vantro::test

// In a test body: skips it when any of the named files is absent.
#define VANTRO_SKIP_WITHOUT_TESTDATA(...)                                                  \
    if (const auto vantroMissingTestdata = ::vantro::test::missingTestdata({__VA_ARGS__})) \
    GTEST_SKIP() << *vantroMissingTestdata

// Skips the running test when .3dm documents cannot be read on this machine.
#define VANTRO_SKIP_WITHOUT_3DM_READER()                                     \
    if (const auto vantroMissingReader = ::vantro::test::missing3dmReader()) \
    GTEST_SKIP() << *vantroMissingReader
