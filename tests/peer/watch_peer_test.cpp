// What a followed save sends: vantro-host --watch with the plug-in and a running
// link, velora-peer as the renderer, and this test as the other program that saves
// the document. Each save's effect is read off the peer's own report of the channel
// (records and bytes re-read per wake-up), never off the host's internals.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>

#include "support/child_process.h"
#include "support/test_environment.h"
#include "support/test_files.h"

namespace {

using vantro::test::readFile;
using vantro::test::writeFile;

using vantro::test::ChildProcess;
namespace fs = std::filesystem;

constexpr int kWaitMs = 120000;

// Until the peer has printed nothing for half a second.
void untilQuiet(ChildProcess& peer) {
    for (size_t heard = SIZE_MAX; heard != peer.output().size();) {
        heard = peer.output().size();
        peer.waitForLine("\x01 never printed", 500);
    }
}

// The MIRROR lines of the peer's output from offset on.
std::vector<std::string> mirrorLines(const std::string& output, size_t from) {
    std::vector<std::string> lines;
    std::istringstream in(output.substr(from));
    for (std::string line; std::getline(in, line);)
        if (line.rfind("MIRROR ", 0) == 0)
            lines.push_back(line);
    return lines;
}

uint64_t number(const std::string& line, const std::string& key) {
    std::smatch m;
    return std::regex_search(line, m, std::regex(key + "=([0-9]+)")) ? std::stoull(m[1]) : UINT64_MAX;
}

// Three boxes of three materials, saved as the link starts and then with one box
// moved, one box's material recoloured, and unchanged.
TEST(FollowedSaves, EachSaveSendsWhatChangedAndNothingElse) {
    vantro::test::TestEnvironment env;
    const fs::path root = env.root(), document = root / "model.json";
    writeFile(root / "make.txt",
              "Material Add Red diffuse=200,0,0\nMaterial Add Blue diffuse=0,0,200\n"
              "Material Add Green diffuse=0,200,0\n"
              "AddBox 0,0,0 1000,1000,1000 name=A material=Red\n"
              "AddBox 2000,0,0 3000,500,500 name=B material=Blue\n"
              "AddBox 0,2000,0 400,2400,400 name=C material=Green\n"
              "SaveAs " +
                  (root / "v1.json").string() + "\nMove A 0,4000,0\nSaveAs " + (root / "v2.json").string() +
                  "\nMaterial Set Blue diffuse=0,90,200\nSaveAs " + (root / "v3.json").string() + "\n");
    const auto made = vantro::test::runProgram(VANTRO_HOST_PATH, {"--script", (root / "make.txt").string()});
    ASSERT_EQ(made.exitCode, 0) << made.output;
    fs::copy_file(root / "v1.json", document);
    auto save = [&](const char* version) {
        writeFile(root / "model.tmp", readFile(root / version));
        fs::rename(root / "model.tmp", document);
    };

    ChildProcess peer(VELORA_PEER_PATH, {"--listen", "600000"});
    ASSERT_NE(peer.waitForLine("READY", kWaitMs), "");
    std::signal(SIGPIPE, SIG_IGN);
    ASSERT_EQ(mkfifo((root / "host.in").c_str(), 0600), 0);
    ChildProcess host("/bin/sh", {"-c", "exec \"$0\" \"$1\" --watch --plugin \"$2\" < \"$3\"", VANTRO_HOST_PATH,
                                  document.string(), VANTRO_PLUGIN_PATH, (root / "host.in").string()});
    std::ofstream input(root / "host.in");
    input << "Vantro Start\nPrint started" << std::endl;
    ASSERT_NE(host.waitForLine("started", kWaitMs), "") << host.output();
    ASSERT_NE(peer.waitForLine("MIRROR", kWaitMs), "") << peer.output();
    untilQuiet(peer);

    // What the peer re-read for one change: its one MIRROR line, "read=... bytes=...".
    auto readFor = [&](const std::function<void()>& change) {
        const size_t mark = peer.output().size();
        change();
        EXPECT_NE(peer.waitForLine("MIRROR", kWaitMs), "") << peer.output();
        untilQuiet(peer);
        const std::vector<std::string> lines = mirrorLines(peer.output(), mark);
        EXPECT_EQ(lines.size(), 1u) << peer.output().substr(mark);
        return lines.empty() ? std::string() : lines.back().substr(lines.back().find("read="));
    };
    auto command = [&](const std::string& line) {
        input << line << "\nPrint done " << line << std::endl;
        ASSERT_NE(host.waitForLine("done " + line, kWaitMs), "") << host.output();
    };
    auto applied = [&](const char* version, const std::string& what) {
        save(version);
        EXPECT_NE(host.waitForLine("Applied the save of", kWaitMs).find(": " + what + "."), std::string::npos)
            << host.output();
    };

    // A save that changes nothing is applied and sends nothing: the next wake-up the
    // peer reports is the next save's.
    // A moved box: its material's record and geometry alone travel again, as for the
    // same move made in the host.
    const std::string saved = readFor([&] {
        applied("v1.json", "no changes");
        applied("v2.json", "1 object moved");
    });
    EXPECT_NE(saved.find("read=1/0/1 removed=0"), std::string::npos) << saved;
    // Box A alone carries "Red": its 12 triangles' 24 corners (position, normal and
    // texture coordinates each) and 36 indices.
    EXPECT_EQ(number(saved, "bytes"), 24u * 8 * 4 + 36 * 4) << saved;
    EXPECT_EQ(readFor([&] { command("Move A 0,-4000,0"); }), saved);
    readFor([&] { command("Move A 0,4000,0"); });

    // A recoloured material: what the same edit in the host sends (the record, and the
    // geometry of the box that shows it).
    const std::string recoloured = readFor([&] { applied("v3.json", "1 material"); });
    EXPECT_EQ(readFor([&] { command("Material Set Blue diffuse=0,0,200"); }), recoloured);
    EXPECT_EQ(number(recoloured, "bytes"), 24u * 8 * 4 + 36 * 4) << recoloured;

    input << "Vantro Stop\nQuit" << std::endl;
    input.close();
    EXPECT_EQ(host.wait(kWaitMs), 0) << host.output();
    EXPECT_NE(peer.waitForLine("RELEASED", kWaitMs), "") << peer.output();
    EXPECT_EQ(peer.output().find("PROBLEM"), std::string::npos) << peer.output();
}

}  // namespace
