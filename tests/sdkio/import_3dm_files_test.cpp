// The .3dm import's temporary files and converter, with a stand-in converter that
// records what it was given: the output goes to a fresh folder only this user can
// enter, links another user planted at the old predictable names are never
// followed, the arguments reach the converter as they are (no shell), and nothing
// is left behind whether the conversion succeeds or fails.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/process.h"
#include "sdk/io/import_3dm.h"
#include "support/test_environment.h"
#include "support/test_files.h"

namespace {

namespace fs = std::filesystem;
using vantro::test::readFile;
using vantro::test::writeFile;

// Run as `sh converter --binary MODEL OUT`: notes its arguments and the mode of OUT's
// folder in LOG, then writes a document and its companion, or fails when the model
// says "fail".
constexpr const char* kConverter = R"sh(log=$(dirname "$0")/log
printf '%s\n' "$@" > "$log"
stat -c 'mode %a' "$(dirname "$3")" >> "$log"
if grep -q fail "$2"; then echo "3dm-to-json: $2: not a readable .3dm file" >&2; exit 1; fi
printf '{"format": "vantro-document"}' > "$3"
printf 'bin' > "$3.bin"
)sh";

class Import3dmFiles : public ::testing::Test {
protected:
    Import3dmFiles() {
        writeFile(dir + "/converter.sh", kConverter);
        node.emplace("VANTRO_NODE", "/bin/sh");
        converter.emplace("VANTRO_3DM_CONVERTER", (dir + "/converter.sh").c_str());
        tmp.emplace("TMPDIR", (dir + "/tmp").c_str());
        fs::create_directories(dir + "/tmp");
    }
    // The temporary folders the import made in TMPDIR and left there.
    std::vector<std::string> leftovers() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir + "/tmp"))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string logLine(int index) const {
        std::string text = readFile(dir + "/log");
        size_t start = 0;
        for (int i = 0; i < index && start != std::string::npos; ++i)
            start = text.find('\n', start) + 1;
        return text.substr(start, text.find('\n', start) - start);
    }

    vantro::test::TestEnvironment env;
    std::string dir = env.root();
    std::optional<vantro::test::ScopedVariable> node, converter, tmp;
};

TEST_F(Import3dmFiles, PrivateFolderVerbatimArgumentsNothingLeft) {
    // Links at the names the import once used, to a file of the victim's.
    const std::string victim = dir + "/victim.txt";
    writeFile(victim, "precious");
    const std::string pid = std::to_string(vantro::platform::currentProcessId());
    for (int n = 0; n < 4; ++n)
        for (const char* suffix : {".json", ".err", ".json.bin"})
            fs::create_symlink(victim, dir + "/tmp/vantro-3dm-" + pid + "-" + std::to_string(n) + suffix);
    const std::vector<std::string> planted = leftovers();

    const std::string model = dir + "/odd 'name' $(touch pwned); `touch pwned`.3dm";
    writeFile(model, "model");
    vantro::docio::Converted3dm converted = vantro::docio::convert3dmToJson(model);
    ASSERT_TRUE(converted.ok) << converted.error;
    EXPECT_EQ(converted.json, "{\"format\": \"vantro-document\"}");
    EXPECT_EQ(converted.binarySize, 3u);
    EXPECT_EQ(logLine(0), "--binary");
    EXPECT_EQ(logLine(1), model);
    const std::string out = logLine(2);
    EXPECT_EQ(fs::path(out).parent_path().parent_path(), fs::path(dir + "/tmp")) << out;
    EXPECT_EQ(fs::path(out).parent_path().filename().string().rfind("vantro-3dm-", 0), 0u) << out;
    EXPECT_EQ(logLine(3), "mode 700");
    EXPECT_FALSE(fs::exists(dir + "/pwned"));
    EXPECT_FALSE(fs::exists("pwned"));
    EXPECT_EQ(readFile(victim), "precious");
    EXPECT_EQ(leftovers(), planted);

    writeFile(model, "fail");
    converted = vantro::docio::convert3dmToJson(model);
    EXPECT_FALSE(converted.ok);
    EXPECT_EQ(converted.error, "cannot convert: not a readable .3dm file");
    EXPECT_EQ(readFile(victim), "precious");
    EXPECT_EQ(leftovers(), planted);

    // A converter that cannot be started is an error like any other, with no folder left.
    vantro::test::ScopedVariable missing("VANTRO_NODE", (dir + "/no-such-node").c_str());
    converted = vantro::docio::convert3dmToJson(model);
    EXPECT_FALSE(converted.ok);
    EXPECT_NE(converted.error.find("No such file or directory"), std::string::npos) << converted.error;
    EXPECT_EQ(leftovers(), planted);
}

}  // namespace
