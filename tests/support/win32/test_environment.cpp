// TestEnvironment on Windows: a fresh folder under the temporary directory for the
// runtime directory, and a private registry root, which the platform layer keeps
// below HKCU\Software\Vantro Registry Roots (docs/platform.md); both are removed
// at the end.

#include "support/test_environment.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform/process.h"

namespace vantro::test {

TestEnvironment::TestEnvironment() {
    static std::atomic<int> counter{0};
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; root_.empty() && attempt < 100; ++attempt) {
        const auto candidate = base / ("vantro-test-" + std::to_string(platform::currentProcessId()) + "-" +
                                       std::to_string(counter++) + "-" + std::to_string(::GetTickCount64() % 100000));
        std::error_code error;
        if (std::filesystem::create_directory(candidate, error))
            root_ = candidate.generic_string();
    }
    if (root_.empty())
        throw std::runtime_error("cannot make a test folder");
    std::filesystem::create_directories(registryRoot());
    std::filesystem::create_directories(runtimeDir());
    registry_.emplace("VANTRO_REGISTRY_ROOT", registryRoot().c_str());
    runtime_.emplace("VANTRO_RUNTIME_DIR", runtimeDir().c_str());
}

TestEnvironment::~TestEnvironment() {
    std::string root = registryRoot();
    for (char& c : root) {
        if (c == '\\')
            c = '/';
    }
    const std::string key = "Software\\Vantro Registry Roots\\" + root;
    ::RegDeleteTreeW(HKEY_CURRENT_USER, std::wstring(key.begin(), key.end()).c_str());
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
    // _putenv_s changes both the C runtime's copy and the process environment that
    // child processes inherit.
    _putenv_s(name, value ? value : "");
}

ScopedVariable::~ScopedVariable() { _putenv_s(name_.c_str(), had_ ? old_.c_str() : ""); }

std::u16string uniqueName(const char* stem) {
    static std::atomic<int> counter{0};
    std::string text = std::string("C:\\vantro-test\\") + stem + "-" + std::to_string(platform::currentProcessId()) +
                       "-" + std::to_string(counter++) + ".dae";
    return std::u16string(text.begin(), text.end());
}

}  // namespace vantro::test
