// A small plug-in module for the host's tests: it exports the identification
// functions, has a plug-in object, one command with options, a menu, an event watcher
// and an idle watcher, and reports what it is told in the command area, so that tests
// can see from vantro-host's output that the module loaded, its command ran with the
// right answers, events reached it and the idle pump ran.
//
// VANTRO_TEST_PLUGIN_LOAD (environment) sets what OnLoadPlugIn returns (default 1).

#include <cstdlib>
#include <string>

#include "sdk/app/rhino_app.h"
#include "sdk/app/rhino_command.h"
#include "sdk/document/rhino_doc.h"
#include "sdk/document/rhino_event_watcher.h"
#include "sdk/document/rhino_event_watcher_ex.h"
#include "sdk/app/rhino_get_option.h"
#include "sdk/app/rhino_plug_in.h"

namespace {

constexpr const char16_t* kPlugInId = u"7d4f2a90-61c3-4e8b-b5a2-0f9e3c1d6a47";

ON_UUID plugInId() { return ON_UuidFromString(std::u16string_view(kPlugInId)); }

// Counts object events between idle notifications while started.
class Watcher : public CRhinoEventWatcher {
public:
    void OnAddObject(CRhinoDoc&, CRhinoObject&) override { ++added; }
    void OnDeleteObject(CRhinoDoc&, CRhinoObject&) override { ++deleted; }
    void OnBeginSaveDocument(CRhinoDoc&, const char16_t* fileName, bool exportSelected) override {
        RhinoApp().Print(u"TestPlugIn: saving %ls%ls\n", fileName, exportSelected ? u" (selected)" : u"");
    }
    int added = 0;
    int deleted = 0;
};

class Idle : public CRhinoIsIdle {
public:
    explicit Idle(Watcher& watcher) : CRhinoIsIdle(plugInId()), watcher_(watcher) {}
    void Notify(const CParameters&) override {
        if (watcher_.added == 0 && watcher_.deleted == 0)
            return;
        RhinoApp().Print(u"TestPlugIn: idle after %d added, %d deleted\n", watcher_.added, watcher_.deleted);
        watcher_.added = watcher_.deleted = 0;
    }

private:
    Watcher& watcher_;
};

int menuHandle = 0;  // the address stands for the plug-in's menu

class TestPlugIn : public CRhinoUtilityPlugIn {
public:
    ON_UUID PlugInID() const override { return plugInId(); }
    const char16_t* PlugInName() const override { return u"Host Test Plug-in"; }
    const char16_t* PlugInVersion() const override { return u"1.2.3"; }

    int OnLoadPlugIn() override {
        const char* forced = std::getenv("VANTRO_TEST_PLUGIN_LOAD");
        const int result = forced ? std::atoi(forced) : 1;
        if (result != 1)
            return result;
        watcher.Register();
        idle.Register();
        InsertPlugInMenuToRhinoMenu(&menuHandle, 0);
        RhinoApp().Print(u"TestPlugIn: loaded from %ls\n", PlugInFileName().Array());
        return 1;
    }
    void OnUnloadPlugIn() override { RhinoApp().Print(u"TestPlugIn: unloaded\n"); }

    void OnInitPlugInMenuPopups(uintptr_t wParam, intptr_t) override {
        RhinoApp().Print(u"TestPlugIn: menu %ls\n",
                         wParam == reinterpret_cast<uintptr_t>(&menuHandle) ? u"opened" : u"unknown");
    }
    bool OnPlugInMenuCommand(uintptr_t wParam) override {
        if (wParam < 31771 || wParam > 31773)
            return false;
        RhinoApp().Print(u"TestPlugIn: menu command %d\n", static_cast<int>(wParam));
        return true;
    }

    void start(bool on) {
        watcher.Enable(on);
        idle.Enable(on);
        RhinoApp().Print(on ? u"TestPlugIn: started\n" : u"TestPlugIn: stopped\n");
    }

    Watcher watcher;
    Idle idle{watcher};
};

TestPlugIn thePlugIn;

class TestCommand : public CRhinoCommand {
public:
    ON_UUID CommandUUID() override {
        return ON_UuidFromString(std::string_view("1c5e8b32-7a04-4d9f-8e61-3b2a9d0f4c18"));
    }
    const char16_t* EnglishCommandName() override { return u"TestPlugIn"; }

    result RunCommand(const CRhinoCommandContext& context) override {
        CRhinoGetOption get;
        get.SetCommandPrompt(u"Select action:");
        get.AcceptNothing();
        const int start = get.AddCommandOption(CRhinoCommandOptionName(u"Start", u"Start"));
        const int stop = get.AddCommandOption(CRhinoCommandOptionName(u"Stop", u"Stop"));
        const int count = get.AddCommandOption(CRhinoCommandOptionName(u"Count", u"Count"));
        const CRhinoGet::result answer = get.GetOption();
        if (answer == CRhinoGet::nothing)
            return success;
        if (answer == CRhinoGet::cancel)
            return cancel;
        if (answer != CRhinoGet::option || !get.Option())
            return failure;
        const int chosen = get.Option()->m_option_index;
        if (chosen == start || chosen == stop)
            thePlugIn.start(chosen == start);
        if (chosen == count)
            countObjects(context);
        return success;
    }

private:
    static void countObjects(const CRhinoCommandContext& context) {
        const CRhinoDoc* doc = context.Document();
        int n = 0;
        for (const CRhinoObject* object : doc ? doc->Objects() : std::vector<CRhinoObject*>())
            if (!object->IsDeleted() && !object->IsInstanceDefinitionGeometry())
                ++n;
        RhinoApp().Print(u"TestPlugIn: %d objects\n", n);
        RhinoApp().StatusBarProgressMeterStart(0, n, u"Counting", true, true);
        for (int i = 1; i <= n; ++i)
            RhinoApp().StatusBarProgressMeterPos(i);
        RhinoApp().StatusBarProgressMeterEnd();
        RhinoApp().SetStatusBarMessagePane(u"TestPlugIn: counted");
    }
};

TestCommand theCommand;

}  // namespace

extern "C" {
__attribute__((visibility("default"))) const char16_t* RhinoPlugInName() { return u"Host Test Plug-in"; }
__attribute__((visibility("default"))) const char16_t* RhinoPlugInId() { return kPlugInId; }
__attribute__((visibility("default"))) const char* RhinoPlugInVersion() { return "Jan  2 2024  10:11:12"; }
__attribute__((visibility("default"))) const char16_t* RhinoPlugInDescription() {
    return u"A plug-in for the host's tests";
}
}
