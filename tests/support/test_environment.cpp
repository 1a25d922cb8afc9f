#include "support/test_environment.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <unistd.h>

namespace vantro::test {

TestEnvironment::TestEnvironment() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vantro-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    std::filesystem::create_directories(registryRoot());
    std::filesystem::create_directories(runtimeDir());
    registry_.emplace("VANTRO_REGISTRY_ROOT", registryRoot().c_str());
    runtime_.emplace("VANTRO_RUNTIME_DIR", runtimeDir().c_str());
}

TestEnvironment::~TestEnvironment() {
    // The shared memory of the processes this test ran lives in its runtime folder,
    // which is about to go: this is the last chance to see a leak.
    std::error_code error;
    std::string leftovers;
    for (const auto& entry : std::filesystem::directory_iterator(runtimeDir() + "/shm", error))
        if (std::string file = entry.path().filename().string(); file.rfind("vantro.", 0) == 0)
            leftovers += file + " ";
    if (!leftovers.empty())
        ADD_FAILURE() << "shared memory left behind: " << leftovers;
    registry_.reset();
    runtime_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

ScopedVariable::ScopedVariable(const char* name, const char* value) : name_(name) {
    const char* current = std::getenv(name);
    had_ = current != nullptr;
    if (had_)
        old_ = current;
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

ScopedVariable::~ScopedVariable() {
    if (had_)
        setenv(name_.c_str(), old_.c_str(), 1);
    else
        unsetenv(name_.c_str());
}

std::u16string uniqueName(const char* stem) {
    static std::atomic<int> counter{0};
    std::string text = std::string("C:\\vantro-test\\") + stem + "-" + std::to_string(getpid()) + "-" +
                       std::to_string(counter++) + ".dae";
    return std::u16string(text.begin(), text.end());
}

}  // namespace vantro::test
