#include "platform/registry.h"

#include "platform/utf.h"

#include "support/child_process.h"
#include "support/test_environment.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <thread>
#include <unistd.h>

namespace vantro::platform {
namespace {

using test::readFile;
using test::writeFile;
using Names = std::vector<std::u16string>;
namespace fs = std::filesystem;

constexpr RegHive kUser = RegHive::currentUser;

uint32_t queryDword(const RegistryKey& key, std::u16string_view name) {
    RegType type = RegType::none;
    std::vector<uint8_t> data;
    if (key.queryValue(name, &type, &data) != kErrorSuccess || type != RegType::dword || data.size() != 4)
        return 0xDEADBEEF;
    return data[0] | data[1] << 8 | data[2] << 16 | uint32_t(data[3]) << 24;
}

std::vector<uint8_t> utf16Bytes(std::u16string_view text, bool terminator = true) {
    std::vector<uint8_t> bytes;
    for (char16_t unit : text)
        bytes.insert(bytes.end(), {uint8_t(unit), uint8_t(unit >> 8)});
    if (terminator)
        bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

struct Value {
    std::u16string name;
    RegType type;
    std::vector<uint8_t> data;
};

// Reads every value back through a fresh key, i.e. from the file; type and data are
// each also asked for alone.
void expectValues(std::u16string_view path, const std::vector<Value>& values) {
    RegistryKey key;
    ASSERT_EQ(RegistryKey::open(kUser, path, key), kErrorSuccess);
    for (const Value& v : values) {
        RegType type = RegType::none;
        std::vector<uint8_t> data{42};
        ASSERT_EQ(key.queryValue(v.name, &type, nullptr), kErrorSuccess) << toUtf8(v.name);
        ASSERT_EQ(key.queryValue(v.name, nullptr, &data), kErrorSuccess) << toUtf8(v.name);
        EXPECT_EQ(type, v.type) << toUtf8(v.name);
        EXPECT_EQ(data, v.data) << toUtf8(v.name);
    }
}

class Registry : public ::testing::Test {
protected:
    test::TestEnvironment env;
    RegistryKey key;

    std::string keyDir(const std::string& relative) const {
        return env.registryRoot() + "/HKEY_CURRENT_USER/" + relative;
    }
    void create(std::u16string_view path) { ASSERT_EQ(RegistryKey::create(kUser, path, key), kErrorSuccess); }
};

// The values file is the documented text, exactly: other processes and hand edits read it.
TEST_F(Registry, ValuesRoundTripAndFileIsTheDocumentedText) {
    create(u"Software\\Orvane\\PluginForRhino6");
    const uint8_t blob[] = {0x00, 0xFF, 0x10};
    EXPECT_EQ(key.setDword(u"CameraAutoSync", 1), kErrorSuccess);
    EXPECT_EQ(key.setString(u"Path", u"C:\\Models\\\"house\".3dm"), kErrorSuccess);
    EXPECT_EQ(key.setValue(u"Blob", RegType::binary, blob, sizeof blob), kErrorSuccess);
    EXPECT_EQ(key.setDword(u"Big", 0xFEDCBA98), kErrorSuccess);
    expectValues(u"Software\\Orvane\\PluginForRhino6",
                 {{u"CameraAutoSync", RegType::dword, {1, 0, 0, 0}},
                  {u"Path", RegType::sz, utf16Bytes(u"C:\\Models\\\"house\".3dm")},
                  {u"Blob", RegType::binary, {0x00, 0xFF, 0x10}},
                  {u"Big", RegType::dword, {0x98, 0xBA, 0xDC, 0xFE}}});
    EXPECT_EQ(key.queryValue(u"Missing", nullptr, nullptr), kErrorFileNotFound);
    EXPECT_EQ(readFile(keyDir("Software/Orvane/PluginForRhino6/.values")),
              "; vantro registry values, format 1\n"
              "\"CameraAutoSync\"=dword:00000001\n"
              "\"Path\"=sz:\"C:\\\\Models\\\\\\\"house\\\".3dm\"\n"
              "\"Blob\"=hex:00,ff,10\n"
              "\"Big\"=dword:fedcba98\n");
}

// Names and text as document paths bring them (quotes, backslashes, '=', text beyond
// ASCII, empty) survive exactly; names are case-insensitive and keep their first case,
// key paths too: another spelling opens the same key and makes no second directory.
TEST_F(Registry, AwkwardAndCaseInsensitiveNames) {
    create(u"Software\\Orvane");
    std::vector<Value> values;
    uint8_t n = 0;
    for (const std::u16string& name : Names{u"", u"a=b", u"q\"uote\\", u"\u00e9t\u00e9 \u4e2d", u"\U0001F600"})
        values.push_back({name, RegType::dword, {n++, 0, 0, 0}});
    values.insert(values.end(), {{u"text", RegType::sz, utf16Bytes(u"C:\\\u00e9\U0001F600")},
                                 {u"emptyText", RegType::sz, utf16Bytes(u"")}});
    for (const Value& v : values)
        ASSERT_EQ(key.setValue(v.name, v.type, v.data.data(), v.data.size()), kErrorSuccess) << toUtf8(v.name);
    ASSERT_EQ(key.setDword(u"CameraSync", 1), kErrorSuccess);
    ASSERT_EQ(key.setDword(u"camerasync", 2), kErrorSuccess);
    values.push_back({u"CameraSync", RegType::dword, {2, 0, 0, 0}});
    expectValues(u"Software\\Orvane", values);
    EXPECT_EQ(queryDword(key, u"CAMERASYNC"), 2u);
    RegValue last;
    ASSERT_EQ(key.enumValue(uint32_t(values.size() - 1), last), kErrorSuccess);
    EXPECT_EQ(last.name, u"CameraSync");

    RegistryKey other;
    ASSERT_EQ(RegistryKey::create(kUser, u"SOFTWARE\\orvane\\Live", other), kErrorSuccess);
    EXPECT_TRUE(fs::exists(keyDir("Software/Orvane/Live")));
    EXPECT_FALSE(fs::exists(keyDir("SOFTWARE")));
    ASSERT_EQ(RegistryKey::open(kUser, u"software\\ORVANE", other), kErrorSuccess);
    EXPECT_EQ(queryDword(other, u"camerasync"), 2u);
    std::u16string subKey;
    ASSERT_EQ(RegistryKey::open(kUser, u"Software", other), kErrorSuccess);
    ASSERT_EQ(other.enumSubKey(0, subKey), kErrorSuccess);
    EXPECT_EQ(subKey, u"Orvane");
}

// Values enumerate in the order first set, subkeys case-insensitively sorted; both
// end with kErrorNoMoreItems, and deletion shifts the indices like Windows.
TEST_F(Registry, EnumerationAndDeletion) {
    create(u"Enum");
    for (const char16_t* name : {u"zeta", u"Alpha", u"mid"})
        ASSERT_EQ(key.setDword(name, 1), kErrorSuccess);
    for (const char16_t* sub : {u"beta", u"Alpha", u"gamma", u"_x"}) {
        RegistryKey child;
        ASSERT_EQ(RegistryKey::create(kUser, std::u16string(u"Enum\\") + sub, child), kErrorSuccess);
    }
    // Either list ends with kErrorNoMoreItems right after its last entry.
    auto names = [&](bool values) {
        Names out;
        RegValue value;
        long result;
        while ((result = values ? key.enumValue(uint32_t(out.size()), value)
                                : key.enumSubKey(uint32_t(out.size()), value.name)) == kErrorSuccess)
            out.push_back(value.name);
        EXPECT_EQ(result, kErrorNoMoreItems);
        return out;
    };
    EXPECT_EQ(names(true), (Names{u"zeta", u"Alpha", u"mid"}));
    // Upper-cased, '_' (0x5F) sorts after the letters, as in Windows.
    EXPECT_EQ(names(false), (Names{u"Alpha", u"beta", u"gamma", u"_x"}));
    uint32_t subKeyCount = 0, valueCount = 0;
    ASSERT_EQ(key.queryInfo(&subKeyCount, &valueCount), kErrorSuccess);
    EXPECT_EQ(subKeyCount, 4u);
    EXPECT_EQ(valueCount, 3u);

    EXPECT_EQ(key.deleteValue(u"ALPHA"), kErrorSuccess);
    EXPECT_EQ(key.deleteValue(u"alpha"), kErrorFileNotFound);
    EXPECT_EQ(names(true), (Names{u"zeta", u"mid"}));
    EXPECT_EQ(key.setDword(u"alpha", 2), kErrorSuccess);  // re-added: now last, new case
    EXPECT_EQ(names(true), (Names{u"zeta", u"mid", u"alpha"}));
    EXPECT_EQ(RegistryKey::open(RegHive::localMachine, u"Enum", key), kErrorFileNotFound);  // hives are separate
    EXPECT_FALSE(key.isOpen());
}

// A hand-damaged values file gives kErrorBadDb on every access of that key; writes
// leave it untouched; other keys keep working. Nothing crashes.
TEST_F(Registry, HostileValuesFilesGiveErrors) {
    RegistryKey sibling;
    create(u"Bad");
    ASSERT_EQ(RegistryKey::create(kUser, u"Good", sibling), kErrorSuccess);
    ASSERT_EQ(sibling.setDword(u"ok", 7), kErrorSuccess);
    const std::string path = keyDir("Bad/.values");
    // One line per way the parser refuses (the fuzz target covers the rest), among them
    // the same name twice, a name that is not UTF-8 and a raw control character.
    std::vector<std::string> hostile = {"garbage",
                                        "\"unterminated=dword:00000001\n",
                                        "\"a\"=dword:1\n",
                                        "\"a\"=dword:0000000g\n",
                                        "\"a\"=sz:\"x\"trailing\n",
                                        "\"a\"=sz:\"bad \\q escape\"\n",
                                        "\"a\"=sz:\"\\u12\"\n",
                                        "\"a\"=hex:0\n",
                                        "\"a\"=hex:00;01\n",
                                        "\"a\"=hex():00\n",
                                        "\"a\"=hex(4)00\n",
                                        "\"a\"=unknown:00\n",
                                        "\"a\"dword:00000001\n",
                                        "\"A\"=dword:00000001\n\"a\"=dword:00000002\n",
                                        "\"\xff\xfe\"=dword:00000001\n",
                                        "\"a\tb\"=dword:00000001\n"};
    for (const std::string& content : hostile) {
        writeFile(path, content);
        SCOPED_TRACE(content.substr(0, 60));
        RegValue value;
        EXPECT_EQ(key.queryValue(u"a", nullptr, nullptr), kErrorBadDb);
        EXPECT_EQ(key.enumValue(0, value), kErrorBadDb);
        EXPECT_EQ(key.queryInfo(nullptr, nullptr), kErrorBadDb);
        EXPECT_EQ(key.setDword(u"new", 1), kErrorBadDb);
        EXPECT_EQ(key.deleteValue(u"a"), kErrorBadDb);
        EXPECT_EQ(readFile(path), content);  // nothing lost, nothing rewritten
        EXPECT_EQ(queryDword(sibling, u"ok"), 7u);
    }
    // Hand edits in the documented syntax are welcome: comments, blank lines, CRLF,
    // upper-case hex.
    writeFile(path, "; edited by hand\r\n\r\n\"a\"=dword:0000000A\r\n\"b\"=hex:AB,cd\n");
    expectValues(u"Bad", {{u"a", RegType::dword, {10, 0, 0, 0}}, {u"b", RegType::binary, {0xAB, 0xCD}}});

    // A values "file" that is a directory, and one too large to be real.
    fs::remove(path);
    fs::create_directory(path);
    EXPECT_EQ(key.queryValue(u"a", nullptr, nullptr), kErrorBadDb);
    fs::remove(path);
    writeFile(path, "");
    ASSERT_EQ(::truncate(path.c_str(), off_t(65) << 20), 0);  // sparse: costs no disk
    EXPECT_EQ(key.queryValue(u"a", nullptr, nullptr), kErrorBadDb);
    fs::remove(path);
    EXPECT_EQ(key.setDword(u"a", 1), kErrorSuccess);
}

// Leftovers of a crash (a half-written temporary values file) change nothing and are
// cleaned up by the next write.
TEST_F(Registry, CrashLeftoversAreIgnoredAndCleanedUp) {
    create(u"Crash");
    ASSERT_EQ(key.setDword(u"kept", 5), kErrorSuccess);
    writeFile(keyDir("Crash/.values.tmp"), "\"half\"=dwo");
    EXPECT_EQ(queryDword(key, u"kept"), 5u);
    EXPECT_EQ(key.queryValue(u"half", nullptr, nullptr), kErrorFileNotFound);
    ASSERT_EQ(key.setDword(u"more", 6), kErrorSuccess);
    EXPECT_FALSE(fs::exists(keyDir("Crash/.values.tmp")));
}

// Several processes and threads of this one write one key at once: no value is ever
// torn or mixed, no update is lost, and each side reads what the other wrote (the
// writers report the text set here, asked for in another case).
TEST_F(Registry, ConcurrentProcessesAndThreadsNeverTearOrLose) {
    constexpr int kWriters = 4, kRounds = 60;
    create(u"Hammer");
    ASSERT_EQ(key.setString(u"Text", u"\u00e9t\u00e9"), kErrorSuccess);
    std::vector<std::unique_ptr<test::ChildProcess>> writers;
    for (int w = 0; w < kWriters; ++w)
        writers.push_back(std::make_unique<test::ChildProcess>(
            PLATFORM_TEST_HELPER,
            std::vector<std::string>{"reg-hammer", "hammer", std::to_string(w), std::to_string(kRounds)}));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([this, t] {
            for (int i = 0; i < 25; ++i)
                EXPECT_EQ(key.setDword(fromUtf8("t" + std::to_string(t) + "-" + std::to_string(i)), uint32_t(i)),
                          kErrorSuccess);
        });
    int reads = 0, torn = 0;
    for (int i = 0; i < 2000 && reads < 200; ++i) {
        std::vector<uint8_t> data;
        long result = key.queryValue(u"shared", nullptr, &data);
        if (result == kErrorFileNotFound)
            continue;
        ASSERT_EQ(result, kErrorSuccess);
        ++reads;
        torn += data.size() != 1024 ||
                std::count(data.begin() + 8, data.end(), static_cast<uint8_t>(data[0] * 31 + data[4])) != 1016;
    }
    EXPECT_EQ(torn, 0);
    for (auto& thread : threads)
        thread.join();
    for (auto& writer : writers) {
        EXPECT_EQ(writer->wait(120000), 0) << writer->output();
        EXPECT_NE(writer->output().find("text type 1 data e9007400e9000000\nhammer errors 0 torn 0"), std::string::npos)
            << writer->output();
    }
    for (int w = 0; w < kWriters; ++w)
        EXPECT_EQ(queryDword(key, fromUtf8("W" + std::to_string(w))), uint32_t(kRounds - 1));
    uint32_t count = 0;
    ASSERT_EQ(key.queryInfo(nullptr, &count), kErrorSuccess);
    EXPECT_EQ(count, 2u + kWriters + 100u);
}

}  // namespace
}  // namespace vantro::platform
