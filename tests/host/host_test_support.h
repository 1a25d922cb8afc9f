#pragma once
// Runs the real vantro-host program for the host's tests and picks its output apart.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/test_environment.h"

namespace vantro::host_test {

struct HostRun {
    int exitCode = -1;
    std::string output;

    std::vector<std::string> lines() const;
    // The lines printed between the markers "Print <from>" and "Print <to>" (exclusive).
    std::vector<std::string> between(const std::string& from, const std::string& to) const;
    bool has(const std::string& text) const { return output.find(text) != std::string::npos; }
};

// The "[event] ..." lines of a slice without the prefix, idle notifications left out.
std::vector<std::string> eventsOf(const std::vector<std::string>& lines);

// Each test gets a temporary directory of its own for scripts and documents.
class HostTest : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return env_.root() + "/" + name; }
    // Writes text to the file name in the test's directory; returns its path.
    std::string write(const std::string& name, const std::string& text) const;
    // Runs vantro-host with args.
    HostRun run(const std::vector<std::string>& args) const;
    // Runs script (lines) with --log-events, after the extra arguments.
    HostRun runScript(const std::string& script, std::vector<std::string> args = {}) const;

private:
    vantro::test::TestEnvironment env_;
};

}  // namespace vantro::host_test
