#include "peer_install.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "platform/process.h"
#include "platform/registry.h"
#include "platform/utf.h"

namespace vantro::peer {

namespace {

namespace fs = std::filesystem;
namespace platform = vantro::platform;

constexpr char kExecutableName[] = "Velora.exe";
constexpr char kOptionsSuffix[] = ".options";
constexpr char16_t kUninstallKey[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

int fail(const std::string& message) {
    std::fprintf(stderr, "velora-peer --install: %s\n", message.c_str());
    return 1;
}

// This program's own file: the image of the running process.
fs::path ownExecutable() {
    std::u16string path;
    if (!platform::queryProcessImagePath(platform::currentProcessId(), path, 4096))
        return {};
    return fs::path(platform::toUtf8(path));
}

bool saveOptions(const fs::path& file, int argc, const char* const* argv) {
    std::ofstream out(file, std::ios::trunc);
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--install") {
            ++i;  // and its folder
            continue;
        }
        out << argv[i] << '\n';
    }
    return static_cast<bool>(out);
}

bool writeUninstallEntry(const std::string& version, const std::string& location) {
    const std::u16string wide = platform::fromUtf8(version);
    platform::RegistryKey key;
    if (platform::RegistryKey::create(platform::RegHive::localMachine,
                                      std::u16string(kUninstallKey) + u"\\Velora " + wide, key) != 0)
        return false;
    return key.setString(u"DisplayName", u"Velora " + wide) == 0 && key.setString(u"DisplayVersion", wide) == 0 &&
           key.setString(u"Publisher", u"Orvane") == 0 &&
           key.setString(u"InstallLocation", platform::fromUtf8(location)) == 0;
}

}  // namespace

int installPeer(const PeerOptions& options, int argc, const char* const* argv) {
    std::error_code ec;
    const fs::path dir = fs::absolute(options.installDir, ec).lexically_normal();
    if (ec || !(fs::create_directories(dir, ec), fs::is_directory(dir)))
        return fail("cannot create the folder " + options.installDir);
    const fs::path self = ownExecutable();
    const fs::path target = dir / kExecutableName;
    if (self.empty() || !fs::copy_file(self, target, fs::copy_options::overwrite_existing, ec))
        return fail("cannot copy " + self.string() + " to " + target.string() + (ec ? ": " + ec.message() : ""));
    fs::permissions(target, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec, ec);
    if (!saveOptions(target.string() + kOptionsSuffix, argc, argv))
        return fail("cannot write " + target.string() + kOptionsSuffix);
    std::string location = dir.string();
    if (location.back() != '/')
        location += '/';
    if (!writeUninstallEntry(options.version, location))
        return fail("cannot write the Uninstall entry");
    std::printf("INSTALLED version=%s location=%s\n", options.version.c_str(), location.c_str());
    return 0;
}

std::vector<const char*> startArguments(int argc, const char* const* argv, std::vector<std::string>& storage) {
    std::vector<const char*> args(argv, argv + argc);
    const fs::path self = ownExecutable();
    if (argc != 1 || self.filename() != kExecutableName)
        return args;
    std::ifstream in(self.string() + kOptionsSuffix);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            storage.push_back(line);
    for (const std::string& arg : storage)
        args.push_back(arg.c_str());
    return args;
}

}  // namespace vantro::peer
