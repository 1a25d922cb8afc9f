#pragma once
// The setting of the plug-in's process tests: a private registry and window
// directory, documents copied into the test's own folder (so that link names never
// meet another test's), the real vantro-host with libvantro.so, and velora-peer.

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/child_process.h"
#include "support/test_environment.h"

namespace vantro::plugin_test {

class PluginProcessTest : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return env_.root() + "/" + name; }
    // Copies the bundled living-room sample (with its texture) into folder (created)
    // below the test's directory; returns the document's path.
    std::string copySample(const std::string& folder = "docs") const;
    // Writes one of the plug-in's settings (REG_DWORD) before a host starts.
    void setSetting(const char16_t* name, uint32_t value) const;
    // Writes a script file of lines; returns its path.
    std::string script(const std::string& name, const std::vector<std::string>& lines) const;

    // vantro-host with the plug-in module: "--plugin <module>" then args.
    test::RunResult host(const std::vector<std::string>& args) const;
    std::unique_ptr<test::ChildProcess> startHost(const std::vector<std::string>& args) const;
    // A host that runs "Vantro Start" on doc, then pumps idle for two minutes.
    std::unique_ptr<test::ChildProcess> startLinkedHost(const std::string& doc,
                                                        const std::vector<std::string>& args = {}) const;
    test::RunResult peer(const std::vector<std::string>& args) const;

    test::TestEnvironment env_;
};

// How often text occurs in output.
int countOf(const std::string& output, const std::string& text);
// The link name of a document path ('.' to end replaced by ".dae"), UTF-8.
std::string linkNameOf(const std::string& documentPath);

}  // namespace vantro::plugin_test
