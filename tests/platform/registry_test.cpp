#include "platform/registry.h"

#include "platform/utf.h"

#include "support/child_process.h"
#include "support/test_environment.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <memory>
#include <sys/stat.h>
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

std::vector<uint8_t> utf16Bytes(std::u16string_view text) {  // with the terminator, as REG_SZ stores it
    std::vector<uint8_t> bytes;
    for (char16_t unit : text)
        bytes.insert(bytes.end(), {uint8_t(unit), uint8_t(unit >> 8)});
    bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

struct Value {
    std::u16string name;
    RegType type;
    std::vector<uint8_t> data;
};

// Reads every value back through a fresh key, i.e. from the file; type and data are
// each asked for alone, as the product does.
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

// Names and text as document paths bring them survive exactly; names and key paths are
// case-insensitive.
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

    RegistryKey other;
    ASSERT_EQ(RegistryKey::open(kUser, u"software\\ORVANE", other), kErrorSuccess);
    EXPECT_EQ(queryDword(other, u"camerasync"), 2u);
}

// Values enumerate in the order first set, subkeys in case-insensitive order, each
// list ending with kErrorNoMoreItems; the counts match and hives are separate.
TEST_F(Registry, EnumerationAndDeletion) {
    create(u"Enum");
    for (const char16_t* name : {u"zeta", u"Alpha", u"mid"})
        ASSERT_EQ(key.setDword(name, 1), kErrorSuccess);
    for (const char16_t* sub : {u"beta", u"Alpha", u"gamma"}) {
        RegistryKey child;
        ASSERT_EQ(RegistryKey::create(kUser, std::u16string(u"Enum\\") + sub, child), kErrorSuccess);
    }
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
    EXPECT_EQ(names(false), (Names{u"Alpha", u"beta", u"gamma"}));
    EXPECT_EQ(key.deleteValue(u"ALPHA"), kErrorSuccess);
    EXPECT_EQ(names(true), (Names{u"zeta", u"mid"}));
    uint32_t subKeyCount = 0, valueCount = 0;
    ASSERT_EQ(key.queryInfo(&subKeyCount, &valueCount), kErrorSuccess);
    EXPECT_EQ(std::pair(subKeyCount, valueCount), std::pair(3u, 2u));
    EXPECT_EQ(RegistryKey::open(RegHive::localMachine, u"Enum", key), kErrorFileNotFound);
    EXPECT_FALSE(key.isOpen());
}

// A damaged values file gives kErrorBadDb on reads and writes of that key and is never
// rewritten; other keys keep working. One row per kind of damage (fuzzing does the rest).
TEST_F(Registry, HostileValuesFilesGiveErrors) {
    RegistryKey sibling;
    create(u"Bad");
    ASSERT_EQ(RegistryKey::create(kUser, u"Good", sibling), kErrorSuccess);
    ASSERT_EQ(sibling.setDword(u"ok", 7), kErrorSuccess);
    const std::string path = keyDir("Bad/.values");
    const char* hostile[] = {"garbage",
                             "\"unterminated=dword:00000001\n",
                             "\"a\"=dword:1\n",
                             "\"a\"=sz:\"bad \\q escape\"\n",
                             "\"a\"=hex:00;01\n",
                             "\"A\"=dword:00000001\n\"a\"=dword:00000002\n",
                             "\"\xff\xfe\"=dword:00000001\n"};
    for (const std::string content : hostile) {
        writeFile(path, content);
        SCOPED_TRACE(content);
        EXPECT_EQ(key.queryValue(u"a", nullptr, nullptr), kErrorBadDb);
        EXPECT_EQ(key.setDword(u"new", 1), kErrorBadDb);
        EXPECT_EQ(key.deleteValue(u"a"), kErrorBadDb);
        EXPECT_EQ(readFile(path), content);
        EXPECT_EQ(queryDword(sibling, u"ok"), 7u);
    }
    // A values file too large to be real (sparse: it costs no disk).
    writeFile(path, "");
    ASSERT_EQ(::truncate(path.c_str(), off_t(65) << 20), 0);
    EXPECT_EQ(key.queryValue(u"a", nullptr, nullptr), kErrorBadDb);
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

// Several processes and threads of this one write one key at once: a reader never
// sees a half-written file and no update is lost.
TEST_F(Registry, ConcurrentProcessesAndThreadsNeverTearOrLose) {
    constexpr int kWriters = 4, kRounds = 60;
    create(u"Hammer");
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
    int unreadable = 0;  // a half-written file reads as damaged
    for (int i = 0; i < 200; ++i)
        unreadable += key.queryInfo(nullptr, nullptr) != kErrorSuccess;
    EXPECT_EQ(unreadable, 0);
    for (auto& thread : threads)
        thread.join();
    for (auto& writer : writers) {
        EXPECT_EQ(writer->wait(120000), 0) << writer->output();
        EXPECT_NE(writer->output().find("hammer errors 0"), std::string::npos) << writer->output();
    }
    for (int w = 0; w < kWriters; ++w)
        EXPECT_EQ(queryDword(key, fromUtf8("W" + std::to_string(w))), uint32_t(kRounds - 1));
    uint32_t count = 0;
    ASSERT_EQ(key.queryInfo(nullptr, &count), kErrorSuccess);
    EXPECT_EQ(count, kWriters + 100u);
}

// Nobody else may reach the store: every folder made is 0700 also under umask 000
// (another user could otherwise plant keys the plug-in acts on), and a root someone
// opened to others is closed again.
TEST_F(Registry, FoldersArePrivateWhateverTheUmask) {
    ASSERT_EQ(::chmod(env.registryRoot().c_str(), 0777), 0);
    const mode_t old = ::umask(0);
    const long created = RegistryKey::create(kUser, u"Software\\Velora\\Uninstall", key);
    ::umask(old);
    ASSERT_EQ(created, kErrorSuccess);
    for (const std::string& dir : {env.registryRoot(), keyDir(""), keyDir("Software"), keyDir("Software/Velora"),
                                   keyDir("Software/Velora/Uninstall")}) {
        struct stat info {};
        ASSERT_EQ(::stat(dir.c_str(), &info), 0) << dir;
        EXPECT_EQ(info.st_mode & 0777, 0700u) << dir;
    }
}

// A root that is a symbolic link (or someone else's) is refused rather than used.
TEST_F(Registry, RootThatIsALinkIsRefused) {
    const std::string real = env.root() + "/real-store";
    ASSERT_TRUE(fs::create_directories(real));
    const std::string link = env.root() + "/linked-store";
    ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
    test::ScopedVariable root("VANTRO_REGISTRY_ROOT", link.c_str());
    EXPECT_EQ(RegistryKey::create(kUser, u"Software", key), kErrorAccessDenied);
    EXPECT_FALSE(fs::exists(real + "/HKEY_CURRENT_USER"));
}

// Only regular files are opened: a FIFO planted as a values file, temporary file or
// lock file gives an error at once instead of blocking the reader forever.
TEST_F(Registry, PlantedFifosDoNotBlock) {
    create(u"Fifo");
    ASSERT_EQ(key.setDword(u"kept", 3), kErrorSuccess);
    const std::string values = keyDir("Fifo/.values");
    ASSERT_EQ(::unlink(values.c_str()), 0);
    ASSERT_EQ(::mkfifo(values.c_str(), 0600), 0);
    auto read = std::async(std::launch::async, [&] { return key.queryValue(u"kept", nullptr, nullptr); });
    if (read.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        // Let the blocked open go (a writer appears) so that the test can end.
        int writer = ::open(values.c_str(), O_WRONLY | O_NONBLOCK);
        ::close(writer);
        FAIL() << "reading a FIFO values file blocked";
    }
    EXPECT_EQ(read.get(), kErrorBadDb);
    std::vector<RegValue> all;
    EXPECT_EQ(key.enumValues(all), kErrorBadDb);

    ASSERT_EQ(::unlink(values.c_str()), 0);
    ASSERT_EQ(::mkfifo(keyDir("Fifo/.values.tmp").c_str(), 0600), 0);
    EXPECT_EQ(key.setDword(u"after", 4), kErrorSuccess);
    EXPECT_EQ(queryDword(key, u"after"), 4u);

    const std::string lock = env.registryRoot() + "/.lock";
    ASSERT_EQ(::unlink(lock.c_str()), 0);
    ASSERT_EQ(::mkfifo(lock.c_str(), 0600), 0);
    auto write = std::async(std::launch::async, [&] { return key.setDword(u"locked", 5); });
    if (write.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        int writer = ::open(lock.c_str(), O_WRONLY | O_NONBLOCK);
        ::close(writer);
        FAIL() << "a FIFO lock file blocked a change";
    }
    EXPECT_EQ(write.get(), kErrorIoFailed);
}

// Another process of the user holds the store's lock and does not let go: a change
// fails after a few seconds instead of hanging, and works once the lock is free.
TEST_F(Registry, HeldStoreLockFailsTheChangeInsteadOfHanging) {
    create(u"Held");
    const std::string never = env.root() + "/never";
    auto holder = std::make_unique<test::ChildProcess>(
        PLATFORM_TEST_HELPER, std::vector<std::string>{"flock-hold", env.registryRoot() + "/.lock", never});
    ASSERT_NE(holder->waitForLine("ready"), "");
    auto change = std::async(std::launch::async, [&] { return key.setDword(u"v", 1); });
    const bool returned = change.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
    holder.reset();
    ASSERT_TRUE(returned) << "a change waited for the store lock for a minute";
    EXPECT_EQ(change.get(), kErrorIoFailed);
    EXPECT_EQ(key.queryValue(u"v", nullptr, nullptr), kErrorFileNotFound);
    EXPECT_EQ(key.setDword(u"v", 2), kErrorSuccess);
}

// All values from one read, in order; many deleted in one change, any case, with
// names that are not there ignored.
TEST_F(Registry, AllValuesAtOnceAndManyDeletedInOneChange) {
    create(u"Bulk");
    for (int i = 0; i < 50; ++i)
        ASSERT_EQ(key.setDword(u"v" + fromUtf8(std::to_string(i)), uint32_t(i)), kErrorSuccess);
    std::vector<RegValue> all;
    ASSERT_EQ(key.enumValues(all), kErrorSuccess);
    ASSERT_EQ(all.size(), 50u);
    EXPECT_EQ(all[7].name, u"v7");
    EXPECT_EQ(all[7].data, (std::vector<uint8_t>{7, 0, 0, 0}));
    Names gone;
    for (int i = 0; i < 50; i += 2)
        gone.push_back(u"V" + fromUtf8(std::to_string(i)));
    gone.push_back(u"absent");
    ASSERT_EQ(key.deleteValues(gone), kErrorSuccess);
    ASSERT_EQ(key.enumValues(all), kErrorSuccess);
    ASSERT_EQ(all.size(), 25u);
    EXPECT_EQ(all.front().name, u"v1");
    EXPECT_EQ(all.back().name, u"v49");
    EXPECT_EQ(key.deleteValues({u"absent"}), kErrorSuccess);
}

}  // namespace
}  // namespace vantro::platform
