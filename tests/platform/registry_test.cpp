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

using test::ChildProcess;
using test::readFile;
using test::TestEnvironment;
using test::writeFile;
namespace fs = std::filesystem;

constexpr RegHive kUser = RegHive::currentUser;

uint32_t queryDword(const RegistryKey& key, std::u16string_view name, long* error = nullptr) {
    RegType type = RegType::none;
    std::vector<uint8_t> data;
    long result = key.queryValue(name, &type, &data);
    if (error)
        *error = result;
    if (result != kErrorSuccess || type != RegType::dword || data.size() != 4)
        return 0xDEADBEEF;
    return data[0] | data[1] << 8 | data[2] << 16 | uint32_t(data[3]) << 24;
}

std::vector<uint8_t> utf16Bytes(std::u16string_view text, bool terminator = true) {
    std::vector<uint8_t> bytes;
    for (char16_t unit : text) {
        bytes.push_back(uint8_t(unit));
        bytes.push_back(uint8_t(unit >> 8));
    }
    if (terminator)
        bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

std::string keyDir(const TestEnvironment& env, const std::string& relative) {
    return env.registryRoot() + "/HKEY_CURRENT_USER/" + relative;
}

// ---- values and keys ------------------------------------------------------------

// Values of each type round-trip; the file on disk is the documented text, exactly.
TEST(RegistryValues, TypesRoundTripAndFileIsReadable) {
    TestEnvironment env;
    RegistryKey key;
    ASSERT_EQ(RegistryKey::create(kUser, u"Software\\Orvane\\PluginForRhino6", key), kErrorSuccess);
    EXPECT_EQ(key.setDword(u"CameraAutoSync", 1), kErrorSuccess);
    EXPECT_EQ(key.setString(u"Path", u"C:\\Models\\\"house\".3dm"), kErrorSuccess);
    const uint8_t blob[] = {0x00, 0xFF, 0x10};
    EXPECT_EQ(key.setValue(u"Blob", RegType::binary, blob, sizeof blob), kErrorSuccess);
    EXPECT_EQ(key.setDword(u"Big", 0xFEDCBA98), kErrorSuccess);

    EXPECT_EQ(queryDword(key, u"CameraAutoSync"), 1u);
    EXPECT_EQ(queryDword(key, u"Big"), 0xFEDCBA98u);
    RegType type = RegType::none;
    std::vector<uint8_t> data;
    ASSERT_EQ(key.queryValue(u"Path", &type, &data), kErrorSuccess);
    EXPECT_EQ(type, RegType::sz);
    EXPECT_EQ(data, utf16Bytes(u"C:\\Models\\\"house\".3dm"));
    ASSERT_EQ(key.queryValue(u"Blob", &type, nullptr), kErrorSuccess);
    EXPECT_EQ(type, RegType::binary);
    ASSERT_EQ(key.queryValue(u"Blob", nullptr, &data), kErrorSuccess);
    EXPECT_EQ(data, std::vector<uint8_t>(blob, blob + 3));
    EXPECT_EQ(key.queryValue(u"Missing", &type, &data), kErrorFileNotFound);

    EXPECT_EQ(readFile(keyDir(env, "Software/Orvane/PluginForRhino6/.values")),
              "; vantro registry values, format 1\n"
              "\"CameraAutoSync\"=dword:00000001\n"
              "\"Path\"=sz:\"C:\\\\Models\\\\\\\"house\\\".3dm\"\n"
              "\"Blob\"=hex:00,ff,10\n"
              "\"Big\"=dword:fedcba98\n");
}

// Awkward names and data survive exactly: control characters, quotes, lone
// surrogates, embedded NULs, odd-sized text, empty names and data, other types.
TEST(RegistryValues, AwkwardNamesAndDataSurvive) {
    TestEnvironment env;
    RegistryKey key;
    ASSERT_EQ(RegistryKey::create(kUser, u"Odd", key), kErrorSuccess);
    const std::u16string names[] = {u"",
                                    u"a=b",
                                    u"q\"uote\\",
                                    u"line\nbreak\ttab\r",
                                    u"\u00e9t\u00e9 \u4e2d",
                                    u"lone\xD800!",
                                    u"\U0001F600",
                                    std::u16string(u"n\0l", 3),
                                    std::u16string(16383, u'x')};
    uint32_t n = 0;
    for (const auto& name : names)
        ASSERT_EQ(key.setDword(name, n++), kErrorSuccess) << toUtf8(name);
    struct Case {
        std::u16string name;
        RegType type;
        std::vector<uint8_t> data;
    };
    const std::vector<Case> cases = {
        {u"textWithNul", RegType::sz, utf16Bytes(std::u16string(u"a\0b\xDC00", 4))},
        {u"oddText", RegType::sz, {0x41, 0x00, 0x42}},
        {u"unterminated", RegType::sz, utf16Bytes(u"abc", false)},
        {u"emptyText", RegType::sz, utf16Bytes(u"")},
        {u"emptyBinary", RegType::binary, {}},
        {u"shortDword", RegType::dword, {1, 2, 3}},
        {u"multi", static_cast<RegType>(7), utf16Bytes(std::u16string(u"a\0b\0", 4))},
        {u"none", RegType::none, {}},
        {u"maxType", static_cast<RegType>(0xFFFFFFFF), {9}},
    };
    for (const Case& c : cases)
        ASSERT_EQ(key.setValue(c.name, c.type, c.data.data(), c.data.size()), kErrorSuccess) << toUtf8(c.name);

    // Read back through a fresh key, i.e. from the file.
    RegistryKey reopened;
    ASSERT_EQ(RegistryKey::open(kUser, u"Odd", reopened), kErrorSuccess);
    n = 0;
    for (const auto& name : names)
        EXPECT_EQ(queryDword(reopened, name), n++) << toUtf8(name);
    for (const Case& c : cases) {
        RegType type = RegType::none;
        std::vector<uint8_t> data{42};
        ASSERT_EQ(reopened.queryValue(c.name, &type, &data), kErrorSuccess) << toUtf8(c.name);
        EXPECT_EQ(type, c.type) << toUtf8(c.name);
        EXPECT_EQ(data, c.data) << toUtf8(c.name);
    }
    RegValue value;
    ASSERT_EQ(reopened.enumValue(5, value), kErrorSuccess);
    EXPECT_EQ(value.name, names[5]);  // the lone surrogate is kept, not replaced
    EXPECT_EQ(key.setDword(std::u16string(16384, u'x'), 0), kErrorInvalidParameter);
    EXPECT_EQ(key.setValue(u"nullData", RegType::binary, nullptr, 4), kErrorInvalidParameter);
}

// Names are case-insensitive (per unit, beyond ASCII) and keep their first case.
TEST(RegistryValues, CaseInsensitiveNamesKeepFirstCase) {
    TestEnvironment env;
    RegistryKey key;
    ASSERT_EQ(RegistryKey::create(kUser, u"Software\\Orvane", key), kErrorSuccess);
    ASSERT_EQ(key.setDword(u"CameraSync", 1), kErrorSuccess);
    ASSERT_EQ(key.setDword(u"camerasync", 2), kErrorSuccess);
    ASSERT_EQ(key.setDword(u"\u00c9t\u00e9", 3), kErrorSuccess);                         // Été
    ASSERT_EQ(key.setDword(u"\u00e9T\u00c9", 4), kErrorSuccess);                         // éTÉ: the same name
    ASSERT_EQ(key.setDword(u"\u044f\u0431\u043b\u043e\u043a\u043e", 5), kErrorSuccess);  // яблоко
    EXPECT_EQ(queryDword(key, u"CAMERASYNC"), 2u);
    EXPECT_EQ(queryDword(key, u"\u00c9T\u00c9"), 4u);
    EXPECT_EQ(queryDword(key, u"\u042f\u0411\u041b\u041e\u041a\u041e"), 5u);  // ЯБЛОКО
    EXPECT_EQ(queryDword(key, u"Stra\u00dfe"), 0xDEADBEEFu);
    ASSERT_EQ(key.setDword(u"Stra\u00dfe", 6), kErrorSuccess);
    EXPECT_EQ(queryDword(key, u"STRASSE"), 0xDEADBEEFu);  // no multi-character folding
    uint32_t values = 0;
    ASSERT_EQ(key.queryInfo(nullptr, &values), kErrorSuccess);
    EXPECT_EQ(values, 4u);
    RegValue first;
    ASSERT_EQ(key.enumValue(0, first), kErrorSuccess);
    EXPECT_EQ(first.name, u"CameraSync");

    // Keys too: another spelling opens the same key and makes no second directory.
    RegistryKey other;
    ASSERT_EQ(RegistryKey::create(kUser, u"SOFTWARE\\orvane\\Live", other), kErrorSuccess);
    EXPECT_TRUE(fs::exists(keyDir(env, "Software/Orvane/Live")));
    EXPECT_FALSE(fs::exists(keyDir(env, "SOFTWARE")));
    ASSERT_EQ(RegistryKey::open(kUser, u"software\\ORVANE", other), kErrorSuccess);
    EXPECT_EQ(queryDword(other, u"camerasync"), 2u);
    std::u16string subKey;
    ASSERT_EQ(RegistryKey::open(kUser, u"Software", other), kErrorSuccess);
    ASSERT_EQ(other.enumSubKey(0, subKey), kErrorSuccess);
    EXPECT_EQ(subKey, u"Orvane");
}

// Values enumerate in the order first set, subkeys case-insensitively sorted; both
// end with kErrorNoMoreItems, and deletion shifts the indices like Windows.
TEST(RegistryValues, EnumerationAndDeletion) {
    TestEnvironment env;
    RegistryKey key;
    ASSERT_EQ(RegistryKey::create(kUser, u"Enum", key), kErrorSuccess);
    for (const char16_t* name : {u"zeta", u"Alpha", u"mid"})
        ASSERT_EQ(key.setDword(name, 1), kErrorSuccess);
    for (const char16_t* sub : {u"beta", u"Alpha", u"gamma", u"_x"}) {
        RegistryKey child;
        ASSERT_EQ(RegistryKey::create(kUser, std::u16string(u"Enum\\") + sub, child), kErrorSuccess);
    }
    RegValue value;
    std::vector<std::u16string> names;
    for (uint32_t i = 0; key.enumValue(i, value) == kErrorSuccess; ++i)
        names.push_back(value.name);
    EXPECT_EQ(names, (std::vector<std::u16string>{u"zeta", u"Alpha", u"mid"}));
    EXPECT_EQ(key.enumValue(3, value), kErrorNoMoreItems);
    std::u16string sub;
    std::vector<std::u16string> subs;
    for (uint32_t i = 0; key.enumSubKey(i, sub) == kErrorSuccess; ++i)
        subs.push_back(sub);
    // Upper-cased, '_' (0x5F) sorts after the letters, as in Windows.
    EXPECT_EQ(subs, (std::vector<std::u16string>{u"Alpha", u"beta", u"gamma", u"_x"}));
    EXPECT_EQ(key.enumSubKey(4, sub), kErrorNoMoreItems);
    uint32_t subKeyCount = 0, valueCount = 0;
    ASSERT_EQ(key.queryInfo(&subKeyCount, &valueCount), kErrorSuccess);
    EXPECT_EQ(subKeyCount, 4u);
    EXPECT_EQ(valueCount, 3u);

    EXPECT_EQ(key.deleteValue(u"ALPHA"), kErrorSuccess);
    EXPECT_EQ(key.deleteValue(u"alpha"), kErrorFileNotFound);
    ASSERT_EQ(key.enumValue(1, value), kErrorSuccess);
    EXPECT_EQ(value.name, u"mid");
    EXPECT_EQ(key.setDword(u"alpha", 2), kErrorSuccess);  // re-added: now last, new case
    ASSERT_EQ(key.enumValue(2, value), kErrorSuccess);
    EXPECT_EQ(value.name, u"alpha");
}

// deleteKey removes the whole tree; a key open meanwhile reports it was deleted.
TEST(RegistryKeys, DeleteTreeAndStaleHandles) {
    TestEnvironment env;
    RegistryKey deep, top;
    ASSERT_EQ(RegistryKey::create(kUser, u"Tree\\A\\B\\C", deep), kErrorSuccess);
    ASSERT_EQ(deep.setDword(u"v", 1), kErrorSuccess);
    ASSERT_EQ(RegistryKey::open(kUser, u"Tree", top), kErrorSuccess);
    ASSERT_EQ(top.setDword(u"t", 1), kErrorSuccess);

    EXPECT_EQ(RegistryKey::deleteKey(kUser, u"tree\\a"), kErrorSuccess);
    EXPECT_EQ(RegistryKey::open(kUser, u"Tree\\A\\B\\C", deep), kErrorFileNotFound);
    EXPECT_FALSE(deep.isOpen());
    EXPECT_EQ(queryDword(top, u"t"), 1u);
    uint32_t subKeys = 9;
    ASSERT_EQ(top.queryInfo(&subKeys, nullptr), kErrorSuccess);
    EXPECT_EQ(subKeys, 0u);

    ASSERT_EQ(RegistryKey::create(kUser, u"Tree\\A", deep), kErrorSuccess);
    EXPECT_EQ(RegistryKey::deleteKey(kUser, u"Tree"), kErrorSuccess);
    EXPECT_EQ(deep.setDword(u"v", 1), kErrorKeyDeleted);
    EXPECT_EQ(top.queryValue(u"t", nullptr, nullptr), kErrorKeyDeleted);
    std::u16string name;
    EXPECT_EQ(top.enumSubKey(0, name), kErrorKeyDeleted);
    EXPECT_EQ(RegistryKey::deleteKey(kUser, u"Tree"), kErrorFileNotFound);
    EXPECT_EQ(RegistryKey::deleteKey(kUser, u""), kErrorAccessDenied);
    // Nothing of the deleted trees stays on disk.
    for (const auto& entry : fs::directory_iterator(env.registryRoot()))
        EXPECT_EQ(entry.path().filename().string().rfind(".deleted-", 0), std::string::npos);

    RegistryKey closed;
    EXPECT_EQ(closed.setDword(u"v", 1), kErrorInvalidHandle);
    EXPECT_EQ(closed.queryValue(u"v", nullptr, nullptr), kErrorInvalidHandle);
}

// Path syntax: "" is the hive, one trailing backslash is fine, empty names and
// over-long names are refused; the two hives are separate.
TEST(RegistryKeys, PathsAndHives) {
    TestEnvironment env;
    RegistryKey key;
    EXPECT_EQ(RegistryKey::open(kUser, u"", key), kErrorSuccess);
    EXPECT_EQ(key.setDword(u"atRoot", 1), kErrorSuccess);
    EXPECT_EQ(RegistryKey::create(kUser, u"One\\Two\\", key), kErrorSuccess);
    EXPECT_EQ(RegistryKey::open(kUser, u"One\\Two", key), kErrorSuccess);
    for (const char16_t* bad : {u"\\One", u"One\\\\Two", u"\\", u"One\\\\"})
        EXPECT_EQ(RegistryKey::create(kUser, bad, key), kErrorInvalidParameter) << toUtf8(bad);
    EXPECT_EQ(RegistryKey::create(kUser, std::u16string(256, u'k'), key), kErrorInvalidParameter);
    EXPECT_EQ(RegistryKey::create(kUser, std::u16string(255, u'k'), key), kErrorSuccess);
    EXPECT_EQ(RegistryKey::open(kUser, u"Missing\\Key", key), kErrorFileNotFound);
    EXPECT_FALSE(key.isOpen());

    EXPECT_EQ(RegistryKey::open(RegHive::localMachine, u"One", key), kErrorFileNotFound);
    ASSERT_EQ(RegistryKey::create(RegHive::localMachine, u"SOFTWARE\\Microsoft", key), kErrorSuccess);
    EXPECT_TRUE(fs::is_directory(env.registryRoot() + "/HKEY_LOCAL_MACHINE/SOFTWARE/Microsoft"));
}

// Key names that are awkward as file names are escaped on disk and read back.
TEST(RegistryKeys, AwkwardKeyNamesOnDisk) {
    TestEnvironment env;
    RegistryKey key;
    const std::u16string names[] = {u"a/b", u"100%", u".hidden", u"..", u"tab\there", u"{3B1A-uuid}", u"\u00e9\u4e2d"};
    for (const auto& name : names)
        ASSERT_EQ(RegistryKey::create(kUser, u"Awk\\" + name, key), kErrorSuccess) << toUtf8(name);
    for (const char* onDisk :
         {"a%2Fb", "100%25", "%2Ehidden", "%2E.", "tab%09here", "{3B1A-uuid}", "\xC3\xA9\xE4\xB8\xAD"})
        EXPECT_TRUE(fs::is_directory(keyDir(env, std::string("Awk/") + onDisk))) << onDisk;
    ASSERT_EQ(RegistryKey::open(kUser, u"Awk", key), kErrorSuccess);
    uint32_t count = 0;
    ASSERT_EQ(key.queryInfo(&count, nullptr), kErrorSuccess);
    EXPECT_EQ(count, 7u);
    for (const auto& name : names)
        EXPECT_EQ(RegistryKey::open(kUser, u"Awk\\" + name, key), kErrorSuccess) << toUtf8(name);
}

// ---- what is on disk ------------------------------------------------------------

// A hand-damaged values file gives kErrorBadDb on every access of that key; writes
// leave it untouched; other keys keep working. Nothing crashes.
TEST(RegistryDisk, HostileValuesFilesGiveErrors) {
    TestEnvironment env;
    RegistryKey key, sibling;
    ASSERT_EQ(RegistryKey::create(kUser, u"Bad", key), kErrorSuccess);
    ASSERT_EQ(RegistryKey::create(kUser, u"Good", sibling), kErrorSuccess);
    ASSERT_EQ(sibling.setDword(u"ok", 7), kErrorSuccess);
    const std::string path = keyDir(env, "Bad/.values");
    const std::vector<std::string> hostile = {
        "garbage",
        "\"unterminated=dword:00000001\n",
        "\"a\"=dword:1\n",
        "\"a\"=dword:0000000g\n",
        "\"a\"=dword:000000001\n",
        "\"a\"=sz:\"no end\n",
        "\"a\"=sz:\"x\"trailing\n",
        "\"a\"=sz:\"bad \\q escape\"\n",
        "\"a\"=sz:\"\\u12\"\n",
        "\"a\"=hex:0\n",
        "\"a\"=hex:00,\n",
        "\"a\"=hex:00;01\n",
        "\"a\"=hex(99999999999):00\n",
        "\"a\"=hex():00\n",
        "\"a\"=hex(4)00\n",
        "\"a\"=unknown:00\n",
        "\"a\"dword:00000001\n",
        "\"A\"=dword:00000001\n\"a\"=dword:00000002\n",  // the same name twice
        "\"\xff\xfe\"=dword:00000001\n",                 // not UTF-8
        "\"a\"=sz:\"\xed\xa0\x80\"\n",                   // an encoded surrogate is not UTF-8
        "\"a\tb\"=dword:00000001\n",                     // raw control character
        std::string("\"a\"=dword:00000001\n\0\n", 21),
        "\"" + std::string(16384, 'n') + "\"=dword:00000001\n",
    };
    for (const std::string& content : hostile) {
        writeFile(path, content);
        SCOPED_TRACE(content.substr(0, 60));
        EXPECT_EQ(key.queryValue(u"a", nullptr, nullptr), kErrorBadDb);
        RegValue value;
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
    EXPECT_EQ(queryDword(key, u"a"), 10u);
    std::vector<uint8_t> data;
    ASSERT_EQ(key.queryValue(u"b", nullptr, &data), kErrorSuccess);
    EXPECT_EQ(data, (std::vector<uint8_t>{0xAB, 0xCD}));

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

// Directories not made by the store (non-canonical names, stray files) are not keys.
TEST(RegistryDisk, ForeignEntriesAreNotKeys) {
    TestEnvironment env;
    RegistryKey key;
    ASSERT_EQ(RegistryKey::create(kUser, u"Mixed\\Real", key), kErrorSuccess);
    std::string dir = keyDir(env, "Mixed/");
    fs::create_directory(dir + "bad%zz");    // not an escape
    fs::create_directory(dir + "low%2fer");  // escapes are upper-case
    fs::create_directory(dir + "back\\slash");
    fs::create_directory(dir + "\xff\xfe");
    writeFile(dir + "plainfile", "x");
    ASSERT_EQ(RegistryKey::open(kUser, u"Mixed", key), kErrorSuccess);
    std::u16string name;
    ASSERT_EQ(key.enumSubKey(0, name), kErrorSuccess);
    EXPECT_EQ(name, u"Real");
    EXPECT_EQ(key.enumSubKey(1, name), kErrorNoMoreItems);
}

// Leftovers of a crash (a half-written temporary values file, a half-deleted tree)
// change nothing and are cleaned up by later writes.
TEST(RegistryDisk, CrashLeftoversAreHarmless) {
    TestEnvironment env;
    RegistryKey key;
    ASSERT_EQ(RegistryKey::create(kUser, u"Crash", key), kErrorSuccess);
    ASSERT_EQ(key.setDword(u"kept", 5), kErrorSuccess);
    writeFile(keyDir(env, "Crash/.values.tmp"), "\"half\"=dwo");
    fs::create_directories(env.registryRoot() + "/.deleted-999999-0/Sub");
    EXPECT_EQ(queryDword(key, u"kept"), 5u);
    EXPECT_EQ(key.queryValue(u"half", nullptr, nullptr), kErrorFileNotFound);
    ASSERT_EQ(key.setDword(u"more", 6), kErrorSuccess);
    EXPECT_FALSE(fs::exists(keyDir(env, "Crash/.values.tmp")));
    ASSERT_EQ(RegistryKey::create(kUser, u"Gone", key), kErrorSuccess);
    ASSERT_EQ(RegistryKey::deleteKey(kUser, u"Gone"), kErrorSuccess);
    EXPECT_FALSE(fs::exists(env.registryRoot() + "/.deleted-999999-0"));
}

// The root is $VANTRO_REGISTRY_ROOT, else ~/.config/vantro/registry.
TEST(RegistryDisk, RootDirectory) {
    TestEnvironment env;
    EXPECT_EQ(RegistryKey::rootDirectory(), env.registryRoot());
    test::ScopedEnv noRoot("VANTRO_REGISTRY_ROOT", nullptr);
    test::ScopedEnv home("HOME", env.root().c_str());
    EXPECT_EQ(RegistryKey::rootDirectory(), env.root() + "/.config/vantro/registry");
    RegistryKey key;
    ASSERT_EQ(RegistryKey::create(kUser, u"X", key), kErrorSuccess);
    EXPECT_TRUE(fs::is_directory(env.root() + "/.config/vantro/registry/HKEY_CURRENT_USER/X"));
}

// ---- concurrency ----------------------------------------------------------------

// A value written by one process is read by another, both ways.
TEST(RegistryProcesses, ValuesCrossProcesses) {
    TestEnvironment env;
    auto set = test::runProgram(PLATFORM_TEST_HELPER, {"reg-set", "cu", "Software\\Orvane\\LiveConnections",
                                                       "D:\\Work\\house.dae", "dword", "1"});
    EXPECT_EQ(set.exitCode, 0) << set.output;
    RegistryKey key;
    ASSERT_EQ(RegistryKey::open(kUser, u"software\\orvane\\liveconnections", key), kErrorSuccess);
    EXPECT_EQ(queryDword(key, u"d:\\work\\HOUSE.dae"), 1u);
    RegValue value;
    ASSERT_EQ(key.enumValue(0, value), kErrorSuccess);
    EXPECT_EQ(value.name, u"D:\\Work\\house.dae");

    ASSERT_EQ(key.setString(u"Text", u"\u00e9t\u00e9"), kErrorSuccess);
    auto get = test::runProgram(PLATFORM_TEST_HELPER, {"reg-get", "cu", "Software\\Orvane\\LiveConnections", "text"});
    EXPECT_NE(get.output.find("result 0 type 1 data e9007400e9000000"), std::string::npos) << get.output;
    get = test::runProgram(PLATFORM_TEST_HELPER, {"reg-get", "lm", "Software\\Orvane\\LiveConnections", "Text"});
    EXPECT_NE(get.output.find("result 2 "), std::string::npos) << get.output;
}

// Several processes writing one key at once never tear or mix a value and lose no
// update; a reader in this process meanwhile always sees whole values.
TEST(RegistryProcesses, ConcurrentWritersNeverTear) {
    TestEnvironment env;
    constexpr int kWriters = 4, kRounds = 60;
    std::vector<std::unique_ptr<ChildProcess>> writers;
    for (int w = 0; w < kWriters; ++w)
        writers.push_back(std::make_unique<ChildProcess>(
            PLATFORM_TEST_HELPER,
            std::vector<std::string>{"reg-hammer", "Hammer", std::to_string(w), std::to_string(kRounds)}));
    int reads = 0, torn = 0;
    RegistryKey key;
    for (int i = 0; i < 2000 && reads < 200; ++i) {
        if (RegistryKey::open(kUser, u"Hammer", key) != kErrorSuccess) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
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
    for (auto& writer : writers) {
        EXPECT_EQ(writer->wait(120000), 0) << writer->output();
        EXPECT_NE(writer->output().find("hammer errors 0 torn 0"), std::string::npos) << writer->output();
    }
    ASSERT_EQ(RegistryKey::open(kUser, u"Hammer", key), kErrorSuccess);
    for (int w = 0; w < kWriters; ++w)
        EXPECT_EQ(queryDword(key, u"w" + fromUtf8(std::to_string(w))), uint32_t(kRounds - 1));
}

// Threads of one process setting different names of one key lose no update.
TEST(RegistryProcesses, ConcurrentThreadsLoseNothing) {
    TestEnvironment env;
    RegistryKey key;
    ASSERT_EQ(RegistryKey::create(kUser, u"Threads", key), kErrorSuccess);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&key, t] {
            for (int i = 0; i < 25; ++i)
                EXPECT_EQ(
                    key.setDword(u"t" + fromUtf8(std::to_string(t)) + u"-" + fromUtf8(std::to_string(i)), uint32_t(i)),
                    kErrorSuccess);
        });
    for (auto& thread : threads)
        thread.join();
    uint32_t count = 0;
    ASSERT_EQ(key.queryInfo(nullptr, &count), kErrorSuccess);
    EXPECT_EQ(count, 100u);
}

}  // namespace
}  // namespace vantro::platform
