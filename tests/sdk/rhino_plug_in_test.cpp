// Plug-ins: loading (profile first, then the load hook), refusal, records, menus,
// profile persistence through the registry store, and unloading.

#include <gtest/gtest.h>

#include "sdk_test_support.h"
#include "support/test_environment.h"

using namespace vantro::sdktest;

namespace {

const ON_UUID kPlugInId = ON_UuidFromString(u"aaaaaaaa-0000-4000-8000-000000000001");

class TestPlugIn : public CRhinoUtilityPlugIn {
public:
    explicit TestPlugIn(int loadResult) : loadResult_(loadResult) {}
    ON_UUID PlugInID() const override { return kPlugInId; }
    const char16_t* PlugInName() const override { return u"Test Plug-in"; }
    const char16_t* PlugInVersion() const override { return u"1.2.3"; }
    int OnLoadPlugIn() override {
        calls.push_back("load fileName=" + utf8(PlugInFileName()));
        const CRhinoPlugInRecord* record = CRhinoPlugIn::GetPlugIn(kPlugInId);
        recordDuringLoad = record ? record->PlugIn() : nullptr;
        static int menu = 0;
        menuInserted = InsertPlugInMenuToRhinoMenu(&menu, 0);
        return loadResult_;
    }
    void OnUnloadPlugIn() override { calls.push_back("unload"); }
    void LoadProfile(const char16_t* section, CRhinoProfileContext& pc) override {
        ON_wString version;
        bool once = false;
        const bool haveVersion = pc.LoadProfileString(section, u"PlugInVersion", version);
        const bool haveOnce = pc.LoadProfileBool(section, u"LoadedOnce", &once);
        calls.push_back("loadProfile " + (haveVersion ? utf8(version) : std::string("-")) + " " +
                        (haveOnce ? std::to_string(once) : std::string("-")));
    }
    void SaveProfile(const char16_t* section, CRhinoProfileContext& pc) override {
        pc.SaveProfileString(section, u"PlugInVersion", PlugInVersion());
        pc.SaveProfileBool(section, u"LoadedOnce", true);
        calls.push_back("saveProfile");
    }
    std::vector<std::string> calls;
    CRhinoPlugIn* recordDuringLoad = nullptr;
    bool menuInserted = false;

private:
    int loadResult_;
};

class PlugInCommand : public CRhinoCommand {
public:
    ON_UUID CommandUUID() override { return ON_CreateUuid(); }
    const char16_t* EnglishCommandName() override { return u"PlugInCmd"; }
    result RunCommand(const CRhinoCommandContext&) override { return success; }
};

}  // namespace

// Loading calls LoadProfile then OnLoadPlugIn with a record that already names the
// object; menus can be inserted while loading; unloading saves the profile, which the
// next load reads back from the registry store.
TEST(PlugIn, LoadUnloadAndProfileRoundTrip) {
    vantro::test::TestEnvironment env;
    {
        RhinoApp().BeginPlugInModuleLoad();
        TestPlugIn plugIn(1);
        PlugInCommand command;
        EXPECT_EQ(RhinoApp().LoadPlugIn(u"/opt/Velora/3.5.0.52/Velora/plugin.so", reinterpret_cast<void*>(0x1234)), 1);
        EXPECT_EQ(plugIn.calls, (std::vector<std::string>{"loadProfile - -", "load fileName=/opt/Velora/3.5.0.52/Velora/plugin.so"}));
        EXPECT_EQ(plugIn.recordDuringLoad, &plugIn);
        EXPECT_TRUE(plugIn.menuInserted);
        EXPECT_EQ(plugIn.PlugInInstance(), reinterpret_cast<void*>(0x1234));
        EXPECT_EQ(command.PlugIn(), &plugIn);
        EXPECT_EQ(RhinoApp().PlugInMenus().size(), 1u);
        EXPECT_EQ(plugIn.PlugInType(), CRhinoPlugIn::utility_plug_in);
        RhinoApp().UnloadPlugIns();
        EXPECT_EQ(plugIn.calls.back(), "unload");
        EXPECT_EQ(plugIn.calls[plugIn.calls.size() - 2], "saveProfile");
        EXPECT_EQ(CRhinoPlugIn::GetPlugIn(kPlugInId)->PlugIn(), nullptr);
        EXPECT_TRUE(RhinoApp().PlugInMenus().empty());
    }
    {
        TestPlugIn again(1);
        RhinoApp().LoadPlugIn(u"/opt/plugin.so", nullptr);
        EXPECT_EQ(again.calls.front(), "loadProfile 1.2.3 1");
        RhinoApp().UnloadPlugIns();
    }
    // The plug-in object is gone: its record stays, without an object.
    const CRhinoPlugInRecord* record = CRhinoPlugIn::GetPlugIn(kPlugInId);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->PlugIn(), nullptr);
    EXPECT_EQ(utf8(record->FileName()), "/opt/plugin.so");
}

// A plug-in that refuses to load (-1 silently, 0 with a message) leaves no loaded
// record, and its commands are removed.
TEST(PlugIn, RefusedLoadRemovesCommands) {
    vantro::test::TestEnvironment env;
    RhinoApp().ClearCommandHistoryWindow();
    {
        RhinoApp().BeginPlugInModuleLoad();
        TestPlugIn silent(-1);
        PlugInCommand command;
        EXPECT_EQ(RhinoApp().LoadPlugIn(u"/opt/silent.so", nullptr), -1);
        EXPECT_EQ(RhinoApp().FindCommand(u"PlugInCmd"), nullptr);
        EXPECT_EQ(CRhinoPlugIn::GetPlugIn(kPlugInId)->PlugIn(), nullptr);
        EXPECT_TRUE(RhinoApp().CommandHistoryWindowText().IsEmpty());
        EXPECT_FALSE(silent.InsertPlugInMenuToRhinoMenu(&silent, 0));
    }
    {
        TestPlugIn failing(0);
        EXPECT_EQ(RhinoApp().LoadPlugIn(u"/opt/failing.so", nullptr), 0);
        EXPECT_NE(RhinoApp().CommandHistoryWindowText().Find(u"Unable to load Test Plug-in plug-in"), -1);
    }
    EXPECT_EQ(RhinoApp().LoadPlugIn(u"/opt/empty.so", nullptr), 0);  // no plug-in object pending
    // Host commands constructed outside a module load stay the host's.
    PlugInCommand hostCommand;
    EXPECT_EQ(hostCommand.PlugIn(), nullptr);
    EXPECT_EQ(RhinoApp().FindCommand(u"PlugInCmd"), &hostCommand);
}

// The host's registry and profile helpers use the platform registry store.
TEST(PlugIn, RegistryAndProfileHelpers) {
    vantro::test::TestEnvironment env;
    const ON_wString key = RhinoApp().GetRhinoPlugInsRegistryPath(true) + u"\\" + ON_UuidToString(kPlugInId);
    CRhinoUiRegistry reg;
    EXPECT_FALSE(reg.Open(vantro::platform::RegHive::currentUser, key, false));  // absent, read-only
    ASSERT_TRUE(reg.Open(vantro::platform::RegHive::currentUser, key, true));
    EXPECT_TRUE(reg.SetStringValue(u"FileName", u"C:\\x\\3.5.0.60\\Velora\\p.rhp"));
    EXPECT_TRUE(reg.SetDWORDValue(u"InstallSerialNumber", 7));
    EXPECT_TRUE(reg.Flush());
    reg.Close();
    EXPECT_FALSE(reg.Flush());

    CRhinoUiRegistry readOnly;
    ASSERT_TRUE(readOnly.Open(vantro::platform::RegHive::currentUser, key, false));
    ON_wString path;
    uint32_t serial = 0;
    EXPECT_TRUE(readOnly.QueryStringValue(u"FileName", path));
    EXPECT_EQ(utf8(path), "C:\\x\\3.5.0.60\\Velora\\p.rhp");
    EXPECT_TRUE(readOnly.QueryDWORDValue(u"InstallSerialNumber", serial));
    EXPECT_EQ(serial, 7u);
    EXPECT_FALSE(readOnly.QueryDWORDValue(u"FileName", serial));  // wrong type
    EXPECT_FALSE(readOnly.QueryStringValue(u"Missing", path));
    EXPECT_FALSE(readOnly.SetDWORDValue(u"InstallSerialNumber", 8));  // read-only
    EXPECT_TRUE(readOnly.QueryDWORDValue(u"InstallSerialNumber", serial));
    EXPECT_EQ(serial, 7u);

    EXPECT_EQ(utf8(RhinoApp().GetProfileString(u"Options", u"Theme", u"light")), "light");
    EXPECT_TRUE(RhinoApp().WriteProfileString(u"Options", u"Theme", u"dark"));
    EXPECT_EQ(utf8(RhinoApp().GetProfileString(u"Options", u"Theme", u"light")), "dark");
    int n = 5;
    EXPECT_FALSE(RhinoApp().ProfileContext().LoadProfileInt(u"Options", u"Theme", &n));
    EXPECT_EQ(n, 5);
}
