#include "plugin_process_support.h"

#include <filesystem>
#include <fstream>

#include "platform/registry.h"
#include "settings/plugin_settings.h"

namespace vantro::plugin_test {

namespace fs = std::filesystem;

std::string PluginProcessTest::copySample(const std::string& folder) const {
    const fs::path dir = path(folder);
    fs::create_directories(dir);
    for (const char* name : {"living-room.json", "oak.bmp"})
        fs::copy_file(fs::path(VANTRO_SAMPLES_DIR) / name, dir / name, fs::copy_options::overwrite_existing);
    return (dir / "living-room.json").string();
}

void PluginProcessTest::setSetting(const char16_t* name, uint32_t value) const {
    platform::RegistryKey key;
    ASSERT_EQ(platform::RegistryKey::create(platform::RegHive::currentUser, kSettingsKeyPath, key), 0);
    ASSERT_EQ(key.setDword(name, value), 0);
}

std::string PluginProcessTest::script(const std::string& name, const std::vector<std::string>& lines) const {
    std::ofstream out(path(name));
    for (const std::string& line : lines)
        out << line << '\n';
    return path(name);
}

namespace {

std::vector<std::string> withPlugin(const std::vector<std::string>& args) {
    std::vector<std::string> all{"--plugin", VANTRO_PLUGIN_PATH};
    all.insert(all.end(), args.begin(), args.end());
    return all;
}

}  // namespace

test::RunResult PluginProcessTest::host(const std::vector<std::string>& args) const {
    return test::runProgram(VANTRO_HOST_PATH, withPlugin(args), 120000);
}

std::unique_ptr<test::ChildProcess> PluginProcessTest::startHost(const std::vector<std::string>& args) const {
    return std::make_unique<test::ChildProcess>(VANTRO_HOST_PATH, withPlugin(args));
}

std::unique_ptr<test::ChildProcess> PluginProcessTest::startLinkedHost(const std::string& doc,
                                                                       const std::vector<std::string>& args) const {
    std::vector<std::string> lines(1200, "Wait 100");
    lines.front() = "Vantro Start";
    std::vector<std::string> all{doc, "--script", script("linked.txt", lines)};
    all.insert(all.end(), args.begin(), args.end());
    return startHost(all);
}

test::RunResult PluginProcessTest::peer(const std::vector<std::string>& args) const {
    return test::runProgram(VELORA_PEER_PATH, args, 60000);
}

int countOf(const std::string& output, const std::string& text) {
    int n = 0;
    for (size_t at = output.find(text); at != std::string::npos; at = output.find(text, at + text.size()))
        ++n;
    return n;
}

std::string linkNameOf(const std::string& documentPath) {
    return documentPath.substr(0, documentPath.rfind('.')) + ".dae";
}

}  // namespace vantro::plugin_test
