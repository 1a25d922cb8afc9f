#include "support/test_environment.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <unistd.h>

namespace vantro::test {
namespace {

void saveAndSet(const char* name, const std::string& value, std::string& old, bool& had) {
    const char* current = std::getenv(name);
    had = current != nullptr;
    if (had)
        old = current;
    setenv(name, value.c_str(), 1);
}

void restore(const char* name, const std::string& old, bool had) {
    if (had)
        setenv(name, old.c_str(), 1);
    else
        unsetenv(name);
}

}  // namespace

TestEnvironment::TestEnvironment() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vantro-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    std::filesystem::create_directories(registryRoot());
    std::filesystem::create_directories(runtimeDir());
    saveAndSet("VANTRO_REGISTRY_ROOT", registryRoot(), oldRegistry_, hadRegistry_);
    saveAndSet("VANTRO_RUNTIME_DIR", runtimeDir(), oldRuntime_, hadRuntime_);
}

TestEnvironment::~TestEnvironment() {
    restore("VANTRO_REGISTRY_ROOT", oldRegistry_, hadRegistry_);
    restore("VANTRO_RUNTIME_DIR", oldRuntime_, hadRuntime_);
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

ScopedVariable::~ScopedVariable() { restore(name_.c_str(), old_, had_); }

std::u16string uniqueName(const char* stem) {
    static std::atomic<int> counter{0};
    std::string text = std::string("C:\\vantro-test\\") + stem + "-" + std::to_string(getpid()) + "-" +
                       std::to_string(counter++) + ".dae";
    return std::u16string(text.begin(), text.end());
}

}  // namespace vantro::test
