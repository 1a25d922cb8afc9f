// The plug-in module in the real host, with real peers: loading it (profile entries,
// the older-copy check against the registry store); the link's start/stop flows as a
// user meets them, with the statistics the peer reads back; CheckVelora's outcomes;
// and a whole document reaching the peer with as many triangles as the export writes.

#include <memory>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/registry.h"
#include "platform/utf.h"
#include "plugin/link_statistics.h"
#include "plugin/plugin_identity.h"
#include "settings/plugin_settings.h"
#include "support/child_process.h"
#include "support/test_environment.h"
#include "support/outside_data.h"
#include "support/test_files.h"

namespace vantro::plugin_test {
namespace {

namespace fs = std::filesystem;

// The setting of every test here: a private registry and window directory,
// documents copied into the test's own folder (so that link names never meet another
// test's), the real vantro-host with libvantro.so, and velora-peer.
class PluginProcessTest : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return env_.root() + "/" + name; }
    // The bundled living-room sample (with its texture) copied into <root>/docs.
    std::string copySample() const {
        fs::create_directories(path("docs"));
        for (const char* name : {"living-room.json", "oak.bmp"})
            fs::copy_file(fs::path(VANTRO_SAMPLES_DIR) / name, path("docs") + "/" + name,
                          fs::copy_options::overwrite_existing);
        return path("docs/living-room.json");
    }
    // One of the plug-in's settings (REG_DWORD), before a host starts.
    void setSetting(const char16_t* name, uint32_t value) const {
        platform::RegistryKey key;
        ASSERT_EQ(platform::RegistryKey::create(platform::RegHive::currentUser, kSettingsKeyPath, key), 0);
        ASSERT_EQ(key.setDword(name, value), 0);
    }
    std::string script(const std::string& name, const std::vector<std::string>& lines) const {
        std::ofstream out(path(name));
        for (const std::string& line : lines)
            out << line << '\n';
        return path(name);
    }
    test::RunResult host(std::vector<std::string> args) const {
        args.insert(args.begin(), {"--plugin", VANTRO_PLUGIN_PATH});
        return test::runProgram(VANTRO_HOST_PATH, args, 120000);
    }
    // A host that runs "Vantro Start" on doc, then pumps idle for two minutes.
    std::unique_ptr<test::ChildProcess> startLinkedHost(const std::string& doc,
                                                        const std::vector<std::string>& args = {}) const {
        std::vector<std::string> lines(1200, "Wait 100");
        lines.front() = "Vantro Start";
        std::vector<std::string> all{"--plugin", VANTRO_PLUGIN_PATH, doc, "--script", script("linked.txt", lines)};
        all.insert(all.end(), args.begin(), args.end());
        return std::make_unique<test::ChildProcess>(VANTRO_HOST_PATH, all);
    }
    test::RunResult peer(const std::vector<std::string>& args) const {
        return test::runProgram(VELORA_PEER_PATH, args, 60000);
    }

    test::TestEnvironment env_;
};

// How often text occurs in output.
int countOf(const std::string& output, const std::string& text) {
    int n = 0;
    for (size_t at = output.find(text); at != std::string::npos; at = output.find(text, at + text.size()))
        ++n;
    return n;
}

// The link name of a document path ('.' to end replaced by ".dae"), UTF-8.
std::string linkNameOf(const std::string& documentPath) {
    return documentPath.substr(0, documentPath.rfind('.')) + ".dae";
}

using platform::RegHive;
using platform::RegistryKey;

const std::u16string kProfileKey =
    std::u16string(u"Software\\Rhinoceros\\6.0\\Profile\\Plug-ins\\") + plugin::kPlugInIdText;
const std::u16string kRegistrationKey =
    std::u16string(u"Software\\Rhinoceros\\6.0\\Plug-ins\\") + plugin::kPlugInIdText;

std::optional<std::vector<uint8_t>> readValue(RegHive hive, const std::u16string& key, const char16_t* name) {
    RegistryKey k;
    std::vector<uint8_t> data;
    if (RegistryKey::open(hive, key, k) != 0 || k.queryValue(name, nullptr, &data) != 0)
        return std::nullopt;
    return data;
}

// A REG_SZ value as stored: the text and its terminator, two bytes a unit.
std::vector<uint8_t> stringBytes(const std::string& text) {
    std::vector<uint8_t> bytes;
    for (char c : text + '\0')
        bytes.insert(bytes.end(), {uint8_t(c), 0});
    return bytes;
}

void writeString(RegHive hive, const std::u16string& key, const char16_t* name, const std::string& value) {
    RegistryKey k;
    ASSERT_EQ(RegistryKey::create(hive, key, k), 0);
    ASSERT_EQ(k.setString(name, std::u16string(value.begin(), value.end())), 0);
}

const std::vector<uint8_t> kDwordOne{1, 0, 0, 0};

class PluginLoadTest : public PluginProcessTest {
protected:
    // A copy of the module in <root>/<version>/Velora/, as an installer lays it out.
    std::string installedCopy(const std::string& version) const {
        const fs::path dir = path(version) + "/Velora";
        fs::create_directories(dir);
        fs::copy_file(VANTRO_PLUGIN_PATH, dir / "libvantro.so", fs::copy_options::overwrite_existing);
        return (dir / "libvantro.so").string();
    }
    test::RunResult hostWith(const std::vector<std::string>& modules) const {
        std::vector<std::string> args;
        for (const std::string& m : modules)
            args.insert(args.end(), {"--plugin", m});
        args.insert(args.end(), {"-c", "Vantro About", "-c", "Plugins"});
        return test::runProgram(VANTRO_HOST_PATH, args, 60000);
    }
};

// The profile keeps the module's version and LoadedOnce across runs; the host's
// "Plugins" list shows the identity the exports give.
TEST_F(PluginLoadTest, ProfileEntriesAreKeptAcrossRuns) {
    for (int run = 0; run < 2; ++run) {
        const test::RunResult result = host({"-c", "Plugins"});
        ASSERT_EQ(result.exitCode, 0) << result.output;
        const size_t id = result.output.find("id=623018e4-f9c4-4e4e-99ee-ec7af9f3576b");
        ASSERT_NE(id, std::string::npos) << result.output;
        const size_t line = result.output.rfind('\n', id) + 1;
        const std::string text = result.output.substr(line, result.output.find('\n', id) - line);
        EXPECT_NE(text.find("\"Velora Vantro for Rhino\""), std::string::npos) << text;
        EXPECT_NE(text.find(" loaded"), std::string::npos) << text;
        const size_t at = text.find("version=\"") + 9;
        const std::string version = text.substr(at, text.find('"', at) - at);
        EXPECT_EQ(version.size(), 21u) << "date, two blanks, time: " << version;
        EXPECT_EQ(readValue(RegHive::currentUser, kProfileKey, u"PlugInVersion"), stringBytes(version));
        EXPECT_EQ(readValue(RegHive::currentUser, kProfileKey, u"LoadedOnce"), kDwordOne);
    }
}

// A newer copy registered for the user makes an older one decline silently; with the
// check switched off it loads all the same.
TEST_F(PluginLoadTest, OlderCopyDeclinesWhenANewerOneIsRegistered) {
    const std::string older = installedCopy("3.5.0.52");
    writeString(RegHive::currentUser, kRegistrationKey, u"FileName", path("3.5.0.60") + "/Velora/libvantro.so");
    const test::RunResult declined = hostWith({older});
    EXPECT_NE(declined.output.find("\"Velora Vantro for Rhino\" declined to load"), std::string::npos)
        << declined.output;
    EXPECT_NE(declined.output.find("Unknown command \"Vantro\""), std::string::npos) << declined.output;
    EXPECT_EQ(declined.output.find("[message box]"), std::string::npos) << declined.output;

    setSetting(u"CheckPluginVersion", 0);
    const test::RunResult unchecked = hostWith({older});
    EXPECT_EQ(unchecked.exitCode, 0) << unchecked.output;
    EXPECT_NE(unchecked.output.find("version: 3.50.52"), std::string::npos) << unchecked.output;
}

// The registered copy given by another spelling of its path (relative, with "." and
// ".." in it) is still the registered copy: it loads.
TEST_F(PluginLoadTest, TheRegisteredCopyLoadsWhateverPathNamesIt) {
    const std::string copy = installedCopy("3.5.0.60");
    writeString(RegHive::currentUser, kRegistrationKey, u"FileName", copy);
    writeString(RegHive::localMachine, kRegistrationKey + u"\\PlugIn", u"FileName", copy);
    const std::string roundabout = path("3.5.0.60") + "/./Velora/../Velora/libvantro.so";
    const std::string relative = fs::relative(copy, fs::current_path()).string();
    for (const std::string& spelling : {roundabout, relative}) {
        const test::RunResult run = hostWith({spelling});
        EXPECT_EQ(run.exitCode, 0) << spelling << "\n" << run.output;
        EXPECT_EQ(run.output.find("declined to load"), std::string::npos) << spelling << "\n" << run.output;
        EXPECT_NE(run.output.find("version: 3.50.52"), std::string::npos) << spelling << "\n" << run.output;
    }
}

// A newer copy takes the machine registration over from an older one: the old file
// name is cleared, the install count rises, the user is told to restart, and this
// run declines. Registered as itself, it then loads.
TEST_F(PluginLoadTest, NewerCopyTakesTheRegistrationOver) {
    const std::string newer = installedCopy("3.5.0.60");
    const std::u16string machineKey = kRegistrationKey + u"\\PlugIn";
    writeString(RegHive::currentUser, kRegistrationKey, u"FileName", newer);
    writeString(RegHive::localMachine, machineKey, u"FileName", path("3.5.0.52") + "/Velora/libvantro.so");
    const test::RunResult run = hostWith({newer});
    EXPECT_NE(run.output.find("[message box] Velora Vantro (error, OK)\n"
                              "Older version of the Velora Vantro plugin\nhas been detected and uninstalled.\n"
                              "Please restart Rhino to complete installation.\n"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("declined to load"), std::string::npos) << run.output;
    EXPECT_EQ(readValue(RegHive::localMachine, machineKey, u"FileName"), stringBytes(""));
    EXPECT_EQ(readValue(RegHive::currentUser, kRegistrationKey, u"InstallSerialNumber"), kDwordOne);

    writeString(RegHive::localMachine, machineKey, u"FileName", newer);
    const test::RunResult again = hostWith({newer});
    EXPECT_EQ(again.exitCode, 0) << again.output;
    EXPECT_NE(again.output.find("version: 3.50.52"), std::string::npos) << again.output;
}

class PluginLinkTest : public PluginProcessTest {
protected:
    PluginLinkTest() {
        // These flows are about the link, not about finding a renderer.
        setSetting(u"SkipVeloraCheck", 1);
        setSetting(u"CameraAutoSync", 0);
    }
};

// An unsaved document asks to save first, starting twice says so, stopping twice is
// silent; the link's own texts reach the command area and the status bar.
TEST_F(PluginLinkTest, RefusalsAndRepeatsAreReported) {
    const test::RunResult unsaved = host({"-c", "Vantro Start", "-c", "StatusBar"});
    EXPECT_NE(unsaved.output.find("[message box] Velora Vantro - Save project first (information, OK, plug-in icon)\n"
                                  "Please save your project before starting Velora Vantro.\n[answer] OK\n"),
              std::string::npos)
        << unsaved.output;
    EXPECT_EQ(unsaved.output.find("initializing"), std::string::npos) << unsaved.output;

    const test::RunResult run =
        host({copySample(), "--script",
              script("twice.txt", {"Vantro Start", "StatusBar", "Vantro Start", "Menu 31771", "Vantro Stop",
                                   "StatusBar", "Print -- stopped", "Vantro Stop", "Menu 31772", "Print -- end"})});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(countOf(run.output, "Velora Vantro: initializing\u2026\nVantro started.\n"), 1) << run.output;
    EXPECT_EQ(countOf(run.output, "Vantro is running now.\n"), 2) << run.output;
    EXPECT_NE(run.output.find("Velora Vantro: started."), std::string::npos) << run.output;
    EXPECT_EQ(countOf(run.output, "Vantro stopped.\n"), 1) << run.output;
    EXPECT_EQ(run.output.substr(run.output.find("-- stopped")).find("Vantro stopped"), std::string::npos) << run.output;
}

// Save As under another name stops the link; saving under the same name, an export
// of the selection and the host's auto-save do not. Leaving the host with the link
// running stops it at unload, before the process ends.
TEST_F(PluginLinkTest, OnlyASaveUnderAnotherNameStopsTheLink) {
    const std::string doc = copySample();
    const test::RunResult run =
        host({doc, "--script",
              script("saves.txt", {"Vantro Start", "Save", "AutoSave", "SaveAs " + doc, "Print -- still running",
                                   "Vantro Start", "SaveAs " + path("docs/selected.json") + " selected=on",
                                   "Print -- after export", "SaveAs " + path("docs/other.json"),
                                   "Print -- after save as", "Vantro Start", "Print -- leaving"})});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const size_t exported = run.output.find("-- after export"), saved = run.output.find("-- after save as"),
                 leaving = run.output.find("-- leaving");
    ASSERT_NE(leaving, std::string::npos) << run.output;
    const std::string before = run.output.substr(0, exported), after = run.output.substr(exported, saved - exported);
    EXPECT_EQ(before.find("Vantro stopped."), std::string::npos) << run.output;
    EXPECT_EQ(countOf(before, "Vantro is running now."), 1) << run.output;
    EXPECT_EQ(countOf(after, "Vantro stopped.\n"), 1) << run.output;
    EXPECT_NE(run.output.find("Vantro stopped.\n", leaving), std::string::npos) << run.output;
}

// A second host on the same document cannot create the link: the file-in-use message
// names the .dae file. The peer reads the statistics JSON in key order, with the link
// name's hash, the build version encoded and the camera flag of the moment, then ends
// the first host's link (header flag 0x2), which stops at its next idle.
TEST_F(PluginLinkTest, SecondHostIsRefusedAndThePeerReadsAndEndsTheLink) {
    setSetting(u"CameraAutoSync", 1);
    const std::string doc = copySample();
    auto first = startLinkedHost(doc);
    ASSERT_NE(first->waitForLine("Vantro started.", 60000), "") << first->output();

    const test::RunResult second = host({doc, "-c", "Vantro Start"});
    EXPECT_NE(second.output.find("[message box] Velora Vantro - File already open (error, OK, plug-in icon)\n"
                                 "Cannot start the Vantro connection.\n\nFile \"living-room.dae\" is being used by "
                                 "another instance of Rhino.\n\nSave the file with a different name or stop other "
                                 "connections.\n"),
              std::string::npos)
        << second.output;
    EXPECT_EQ(second.output.find("Vantro started."), std::string::npos) << second.output;

    const test::RunResult reader = peer({"--connection", linkNameOf(doc), "--dump", "--close-link"});
    EXPECT_NE(reader.output.find("CLOSED-LINK"), std::string::npos) << reader.output;
    EXPECT_NE(first->waitForLine("Vantro stopped.", 30000), "") << first->output();
    first->kill();
    const std::string hash = std::to_string(plugin::LinkNameHash(platform::fromUtf8(linkNameOf(doc))));
    const std::string prefix = R"({\"cameraSync\":\"1\",\"fileNameCrc\":\")" + hash +
                               R"(\",\"format\":\"VL\",\"pluginVersion\":\"3%2e50rc%2e52\",\"time\":\")";
    const size_t at = reader.output.find(prefix);
    ASSERT_NE(at, std::string::npos) << reader.output;
    const size_t time = at + prefix.size(), digits = reader.output.find_first_not_of("0123456789", time);
    EXPECT_GT(digits, time) << reader.output;
    EXPECT_EQ(reader.output.substr(digits, 15), R"(\",\"toolName\")") << reader.output;
    EXPECT_NE(reader.output.find(R"(\"toolVersion\":\"6%2e9%2e18271%2e20591\",\"vertexCount\":\"0\"})"),
              std::string::npos)
        << reader.output;
}

// A document whose link name is too long for a renderer's listing still links, and
// the command area says so with what to do.
TEST_F(PluginLinkTest, ALinkNoRendererCanFindIsReported) {
    const std::string folder = path(std::string(120, 'x') + "/" + std::string(120, 'y'));
    fs::create_directories(folder);
    for (const char* name : {"living-room.json", "oak.bmp"})
        fs::copy_file(fs::path(VANTRO_SAMPLES_DIR) / name, folder + "/" + name);
    const std::string doc = folder + "/living-room.json";
    ASSERT_GE(linkNameOf(doc).size(), 260u);
    const test::RunResult run = host({doc, "-c", "Vantro Start", "-c", "Vantro Stop"});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    const size_t started = run.output.find("Vantro started.\n");
    ASSERT_NE(started, std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("Vantro: the link's name has " + std::to_string(linkNameOf(doc).size()) +
                                  " characters; Velora finds links of at most 259",
                              started),
              started + 16)
        << run.output;
    const test::RunResult plain = host({copySample(), "-c", "Vantro Start", "-c", "Vantro Stop"});
    EXPECT_EQ(plain.output.find("Velora finds links"), std::string::npos) << plain.output;
}

// The host is idle while it waits and keeps calling the idle hooks: when the renderer
// closes the link, the link stops during one long Wait and while standard input stays
// silent, not at the user's next command.
TEST_F(PluginLinkTest, ALinkClosedByThePeerStopsWhileTheHostWaits) {
    const std::string doc = copySample();
    const std::string waiting = script("waiting.txt", {"Vantro Start", "Wait 120000"});
    test::ChildProcess scripted(VANTRO_HOST_PATH, {"--plugin", VANTRO_PLUGIN_PATH, doc, "--script", waiting});
    ASSERT_NE(scripted.waitForLine("Vantro started.", 60000), "") << scripted.output();
    EXPECT_NE(peer({"--connection", linkNameOf(doc), "--close-link"}).output.find("CLOSED-LINK"), std::string::npos);
    EXPECT_NE(scripted.waitForLine("Vantro stopped.", 30000), "") << scripted.output();
    scripted.kill();
    scripted.wait();

    // The same with commands typed on standard input (a pipe that stays open).
    const std::string fifo = path("input");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    test::ChildProcess typed("/bin/sh", {"-c", "exec \"$0\" --plugin \"$1\" \"$2\" < \"$3\"", VANTRO_HOST_PATH,
                                         VANTRO_PLUGIN_PATH, doc, fifo});
    std::ofstream input(fifo);
    input << "Vantro Start" << std::endl;
    ASSERT_NE(typed.waitForLine("Vantro started.", 60000), "") << typed.output();
    EXPECT_NE(peer({"--connection", linkNameOf(doc), "--close-link"}).output.find("CLOSED-LINK"), std::string::npos);
    EXPECT_NE(typed.waitForLine("Vantro stopped.", 30000), "") << typed.output();
    input.close();
    EXPECT_EQ(typed.wait(), 0) << typed.output();
}

// Camera requests: while stopped the request is refused but remembered; "CameraSync"
// from the command starts the link first; toggling from the menu flips it. The
// command's words are typed as scripts and users do: with the '_' and '-' prefixes,
// in any case, and cut to an unambiguous start.
TEST_F(PluginLinkTest, CameraRequestsFollowTheLinkState) {
    const test::RunResult run =
        host({copySample(), "--script",
              script("camera.txt", {"Menu 31773", "_Vantro _CameraStop", "-vantro CAMERASY", "Menu 31773", "Menu 31773",
                                    "Vantro camerast", "_Vantro _sto"})});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    // The plug-in's lines only; the host's own "Menu command ..." lines left out.
    std::string printed;
    std::istringstream lines(run.output);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line.rfind("Menu command", 0) != 0)
            printed += line + "\n";
    EXPECT_NE(printed.find("ERROR: You need to start Vantro first\n"
                           "Vantro: camera synchronization disabled.\n"
                           "Velora Vantro: initializing\u2026\nVantro started.\n"
                           "Vantro: camera synchronization enabled.\n"
                           "Vantro: camera synchronization disabled.\n"
                           "Vantro: camera synchronization enabled.\n"
                           "Vantro: camera synchronization disabled.\n"
                           "Vantro stopped.\n"),
              std::string::npos)
        << run.output;
}

class PluginDiscoveryTest : public PluginProcessTest {
protected:
    PluginDiscoveryTest() { setSetting(u"CameraAutoSync", 0); }

    std::string opened() const { return std::filesystem::exists(openLog_) ? test::readFile(openLog_) : std::string(); }
    // Installs velora-peer as Velora <version>; extra: the options the copy starts with.
    void install(const std::string& version, std::vector<std::string> extra) const {
        extra.insert(extra.begin(), {"--install", path("Velora " + version), "--version", version});
        const test::RunResult result = peer(extra);
        ASSERT_EQ(result.exitCode, 0) << result.output;
    }
    std::unique_ptr<test::ChildProcess> running(const std::string& version) const {
        auto process = std::make_unique<test::ChildProcess>(
            VELORA_PEER_PATH, std::vector<std::string>{"--version", version, "--listen", "60000"});
        EXPECT_NE(process->waitForLine("READY"), "");
        return process;
    }
    // The question or notice the start asked, with its answer.
    static void expectBox(const test::RunResult& run, const std::string& title, const std::string& kind,
                          const std::string& text, const std::string& answer) {
        EXPECT_NE(run.output.find("[message box] Velora Vantro - " + title + " (" + kind + ", plug-in icon)\n" + text +
                                  "\n[answer] " + answer + "\n"),
                  std::string::npos)
            << run.output;
    }

    const std::string openLog_ = path("opened.txt");
    test::ScopedVariable openLogVariable_{"VANTRO_OPEN_LOG", openLog_.c_str()};
};

// Nothing installed: the newer-version question; Yes opens the home page, No opens
// nothing; either way the link does not start.
TEST_F(PluginDiscoveryTest, NoVeloraAsksForANewerOneAndDoesNotStart) {
    const std::string doc = copySample();
    const test::RunResult no = host({doc, "--answer", "no", "-c", "Vantro Start"});
    expectBox(no, "Newer Velora version required", "question, Yes/No",
              "You need to have Velora\u00ae 8.3.0 or newer to start Vantro.\n"
              "Are you interested in learning more about the current version of Velora?",
              "No (--answer)");
    EXPECT_EQ(opened(), "");
    const test::RunResult yes = host({doc, "-c", "Vantro Start"});
    EXPECT_NE(yes.output.find("[answer] Yes (default: no answer given)"), std::string::npos) << yes.output;
    EXPECT_EQ(opened(),
              "https://www.orvane-velora.com?utm_source=Rhino%206%20SR9&utm_medium=3%2e50rc%2e52"
              "&utm_campaign=Rhino6%20Vantro\n");
    for (const test::RunResult* run : {&no, &yes})
        EXPECT_EQ(run->output.find("initializing"), std::string::npos) << run->output;
}

// A new enough Velora running lets the start go on without a question, even with an
// older one running beside it.
TEST_F(PluginDiscoveryTest, RunningNewEnoughVeloraStartsWithoutQuestions) {
    auto older = running("8.2.9");
    auto current = running("8.3.0");
    const test::RunResult run = host({copySample(), "-c", "Vantro Start"});
    EXPECT_EQ(run.output.find("[message box]"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("Vantro started."), std::string::npos) << run.output;
}

// An older Velora running and a newer one installed: the user is told to switch, the
// link starts, and nothing is launched.
TEST_F(PluginDiscoveryTest, OlderRunningNewerInstalledTellsTheUserAndStarts) {
    install("8.4.0", {"--listen", "100"});
    auto older = running("8.2.9");
    const test::RunResult run = host({copySample(), "--answer", "yes", "-c", "Vantro Start"});
    expectBox(run, "Velora is not running", "information, OK",
              "Velora 8.3.0 or newer is not running.\n"
              "Please close your current version and start Velora 8.3.0 or newer.",
              "OK");
    EXPECT_NE(run.output.find("Vantro started."), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("READY"), std::string::npos) << run.output;
}

// A newer Velora installed and none running: "No" starts the link alone; "Yes"
// launches the installed copy, which finds the announced link and opens it.
TEST_F(PluginDiscoveryTest, InstalledVeloraIsLaunchedOnYes) {
    install("8.4.0", {"--wait-connection", "30000", "--close-link"});
    const std::string doc = copySample();
    const test::RunResult no = host({doc, "--answer", "no", "-c", "Vantro Start"});
    expectBox(no, "Velora is not running", "question, Yes/No",
              "Velora 8.3.0 or newer is not running.\nWould you like to start Velora now?", "No (--answer)");
    EXPECT_NE(no.output.find("Vantro started."), std::string::npos) << no.output;
    EXPECT_EQ(no.output.find("READY"), std::string::npos) << no.output;

    auto yes = startLinkedHost(doc, {"--answer", "yes"});
    // The launched copy writes to the host's output, which it inherits.
    EXPECT_NE(yes->waitForLine("OPENED name=" + linkNameOf(doc), 60000), "") << yes->output();
    EXPECT_NE(yes->waitForLine("Vantro stopped.", 30000), "") << yes->output();
    yes->kill();
    EXPECT_NE(yes->output().find("[answer] Yes (--answer)"), std::string::npos) << yes->output();
}

class PluginDocumentTest : public PluginProcessTest {
protected:
    PluginDocumentTest() {
        setSetting(u"SkipVeloraCheck", 1);
        setSetting(u"CameraAutoSync", 0);
    }

    // Triangles in the export's geometries (the block markers left out).
    uint64_t exportedTriangles(const std::string& doc) const {
        fs::create_directories(path("export"));
        const test::RunResult run = test::runProgram(VANTRO_HOST_PATH, {"export", doc, "-o", path("export") + "/"});
        EXPECT_EQ(run.exitCode, 0) << run.output;
        std::ifstream dae(path("export/") + fs::path(doc).stem().string() + ".dae");
        uint64_t triangles = 0;
        for (std::string line; std::getline(dae, line);) {
            const size_t at = line.find("<triangles count=\"");
            if (line.find("veloraNode") == std::string::npos && at != std::string::npos)
                triangles += std::stoull(line.substr(at + 18));
        }
        return triangles;
    }

    // Links doc in a host. The peer, listening before the host starts, lists the
    // records and buffers and writes the mirrored triangles as an OBJ when the worker
    // wakes it: "Vantro started." comes before the worker has sent the scene.
    void expectWholeDocument(const std::string& doc) const {
        const uint64_t exported = exportedTriangles(doc);
        EXPECT_GT(exported, 0u);
        test::ChildProcess reader(VELORA_PEER_PATH,
                                  {"--connection", linkNameOf(doc), "--wait-connection", "120000", "--listen", "120000",
                                   "--exit-after-messages", "1", "--dump", "--obj", path("mirror.obj")});
        ASSERT_NE(reader.waitForLine("READY", 60000), "") << reader.output();
        auto linked = startLinkedHost(doc);
        ASSERT_NE(linked->waitForLine("Vantro started.", 120000), "") << linked->output();
        ASSERT_EQ(reader.wait(120000), 0) << reader.output();
        peer({"--connection", linkNameOf(doc), "--close-link"});
        EXPECT_NE(linked->waitForLine("Vantro stopped.", 30000), "") << linked->output();
        linked->kill();
        // What the peer read at the wake: its last listing.
        const std::string listing = reader.output().substr(reader.output().rfind("SYNC records="));
        const int records = countOf(listing, "\"tag\":\"SRFC\"");
        const int withBuffer = records - countOf(listing, "\"geometryBuffer\":0,");
        EXPECT_GT(records, 0);
        EXPECT_EQ(countOf(listing, "\"geometryMapped\":true"), withBuffer) << listing;
        EXPECT_EQ(reader.output().find("PROBLEM"), std::string::npos) << reader.output();
        const std::string obj = "\n" + test::readFile(path("mirror.obj"));
        EXPECT_EQ(uint64_t(countOf(obj, "\nf ")), exported);
        EXPECT_EQ(countOf(obj, "\no "), withBuffer);
    }
};

TEST_F(PluginDocumentTest, SampleReachesThePeerWhole) { expectWholeDocument(copySample()); }

// Layer visibility is inherited: hiding a parent layer takes its child layers' objects
// out of the renderer's scene, and showing it again brings them back; each time the
// peer holds the triangles that a fresh start in that state sends.
TEST_F(PluginDocumentTest, ParentLayerVisibilityReachesTheRenderer) {
    const std::string doc = copySample();
    const std::vector<std::string> nest = {"Layer Add Parent", "Layer Set Furniture parent=Parent"};
    // The triangles the peer holds after wakeUps wake-ups of a host running lines.
    auto trianglesAfter = [&](const std::string& name, std::vector<std::string> lines, int wakeUps) {
        test::ChildProcess reader(VELORA_PEER_PATH,
                                  {"--connection", linkNameOf(doc), "--wait-connection", "120000", "--listen", "120000",
                                   "--exit-after-messages", std::to_string(wakeUps), "--obj", path(name)});
        EXPECT_NE(reader.waitForLine("READY", 60000), "") << reader.output();
        lines.insert(lines.end(), {"Wait 1000", "Vantro Stop"});
        const test::RunResult run = host({doc, "--script", script(name + ".txt", lines)});
        EXPECT_EQ(run.exitCode, 0) << run.output;
        EXPECT_EQ(reader.wait(120000), 0) << reader.output();
        return countOf("\n" + test::readFile(path(name)), "\nf ");
    };
    std::vector<std::string> hiddenAtStart = nest;
    hiddenAtStart.insert(hiddenAtStart.end(), {"Layer Set Parent visible=off", "Vantro Start"});
    const int freshHidden = trianglesAfter("fresh-hidden.obj", hiddenAtStart, 1);
    std::vector<std::string> shownAtStart = nest;
    shownAtStart.push_back("Vantro Start");
    const int freshShown = trianglesAfter("fresh-shown.obj", shownAtStart, 1);
    ASSERT_GT(freshShown, freshHidden) << "the furniture has triangles";

    std::vector<std::string> hide = shownAtStart;
    hide.insert(hide.end(), {"Wait 1000", "Layer Set Parent visible=off"});
    EXPECT_EQ(trianglesAfter("hidden.obj", hide, 2), freshHidden);
    std::vector<std::string> show = hiddenAtStart;
    show.insert(show.end(), {"Wait 1000", "Layer Set Parent visible=on"});
    EXPECT_EQ(trianglesAfter("shown.obj", show, 2), freshShown);
}

// A document written by the modelling application.
TEST_F(PluginDocumentTest, RealDocumentReachesThePeerWhole) {
    const fs::path source = fs::path(VANTRO_TESTDATA_DIR) / "3dm" / "devsamples_hello_mesh.3dm";
    if (!fs::exists(source))
        GTEST_SKIP() << "missing " << source << " (../shared/testdata is not here)";
    VANTRO_SKIP_WITHOUT_3DM_READER();
    fs::create_directories(path("docs"));
    fs::copy_file(source, path("docs/hello.3dm"));
    expectWholeDocument(path("docs/hello.3dm"));
}

}  // namespace
}  // namespace vantro::plugin_test
