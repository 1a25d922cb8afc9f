// velora-peer's command line as a user meets it: --help explains every option it
// lists, and an output that cannot be written is refused at start with the system's
// reason and a status of its own, before anything else happens.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>

#include "support/child_process.h"
#include "support/test_environment.h"
#include "support/test_files.h"

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using vantro::test::RunResult;

// velora-peer with args, standard error joined to the output.
RunResult peer(std::vector<std::string> args) {
    args.insert(args.begin(), {"-c", "exec \"$0\" \"$@\" 2>&1", VELORA_PEER_PATH});
    return vantro::test::runProgram("/bin/sh", args);
}

// Every option of the synopsis has a line of its own that says what it does.
TEST(PeerCommandLine, HelpExplainsEveryOption) {
    const RunResult help = peer({"--help"});
    ASSERT_EQ(help.exitCode, 0);
    const size_t blank = help.output.find("\n\n");
    ASSERT_NE(blank, std::string::npos) << help.output;
    const std::string synopsis = help.output.substr(0, blank);
    std::set<std::string> options;
    const std::regex option("--[a-z-]+");
    for (auto it = std::sregex_iterator(synopsis.begin(), synopsis.end(), option); it != std::sregex_iterator(); ++it)
        options.insert(it->str());
    EXPECT_GE(options.size(), 17u);
    for (const std::string& name : options) {
        const std::regex explained("\n  (--[a-z-]+, )?" + name + "[ ,][^\n]*[a-z]{3}");
        EXPECT_TRUE(std::regex_search(help.output, explained)) << name << " is not explained:\n" << help.output;
    }
    EXPECT_THAT(help.output, HasSubstr("exit status:"));
}

// A picture folder under a file, an OBJ file that is a folder or lies below a file:
// status 4 with the path and the system's reason, no window published. An existing
// OBJ file is checked without losing its bytes.
TEST(PeerCommandLine, UnwritableOutputsAreRefusedAtStart) {
    vantro::test::TestEnvironment env;
    const std::string file = env.root() + "/plain";
    vantro::test::writeFile(file, "keep");
    const RunResult picture = peer({"--preview", file + "/pictures"});
    EXPECT_EQ(picture.exitCode, 4) << picture.output;
    EXPECT_THAT(picture.output, HasSubstr("cannot write " + file + "/pictures: Not a directory"));
    EXPECT_THAT(picture.output, ::testing::Not(HasSubstr("READY")));

    const RunResult folder = peer({"--obj", env.root()});
    EXPECT_EQ(folder.exitCode, 4) << folder.output;
    EXPECT_THAT(folder.output, HasSubstr("cannot write " + env.root() + ": Is a directory"));
    const RunResult below = peer({"--obj", file + "/mirror.obj"});
    EXPECT_EQ(below.exitCode, 4) << below.output;
    EXPECT_THAT(below.output, HasSubstr("cannot write " + file + "/mirror.obj: Not a directory"));

    const RunResult fine = peer({"--obj", file, "--hidden", "--preview", env.root() + "/new/pictures"});
    EXPECT_EQ(fine.exitCode, 0) << fine.output;
    EXPECT_EQ(vantro::test::readFile(file), "keep");
    EXPECT_TRUE(fs::is_directory(env.root() + "/new/pictures"));
    EXPECT_TRUE(fs::is_empty(env.root() + "/new/pictures")) << "no probe file is left";
    EXPECT_FALSE(fs::exists(env.root() + "/plain.mtl")) << "no probe file is left";
}

}  // namespace
