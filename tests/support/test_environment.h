#pragma once
// Gives a test its own registry root and runtime (window) directory, so that tests
// and the processes they start never see another run's connections or windows.

#include <optional>
#include <string>

namespace vantro::test {

// Sets an environment variable (value null: removes it) for its lifetime, then puts
// back what was there. Child processes started meanwhile inherit the change.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value);
    ~ScopedVariable();
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    std::string name_, old_;
    bool had_ = false;
};

class TestEnvironment {
public:
    // Creates a fresh temporary directory and points VANTRO_REGISTRY_ROOT and
    // VANTRO_RUNTIME_DIR below it; child processes inherit both. The destructor fails
    // the test when shared memory of ours is left in the runtime folder, puts the
    // variables back and removes the directory.
    TestEnvironment();
    ~TestEnvironment();
    TestEnvironment(const TestEnvironment&) = delete;
    TestEnvironment& operator=(const TestEnvironment&) = delete;

    const std::string& root() const { return root_; }
    std::string registryRoot() const { return root_ + "/registry"; }
    std::string runtimeDir() const { return root_ + "/runtime"; }

private:
    std::string root_;
    std::optional<ScopedVariable> registry_, runtime_;
};

// A name unique to this process and call, for shared-memory names in tests.
std::u16string uniqueName(const char* stem);

}  // namespace vantro::test
