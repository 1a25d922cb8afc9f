// The five messages (exact titles, texts and flags, and what their answers mean) and
// the web addresses with their tracking query.

#include <gtest/gtest.h>

#include "sdk/app/rhino_app.h"
#include "sdk/app/rhino_message_box.h"
#include "ui/plugin_ui.h"
#include "ui/web_addresses.h"

namespace {

class PluginUiTest : public ::testing::Test {
protected:
    PluginUiTest() {
        RhinoClearMessageBoxHistory();
        RhinoSetMessageBoxHandler([this](const RhinoMessageBox&) { return answer; });
    }
    ~PluginUiTest() override { RhinoSetMessageBoxHandler(nullptr); }
    const RhinoMessageBox& last() const { return RhinoMessageBoxHistory().back(); }

    int answer = IDYES;
    PluginUi ui{nullptr, nullptr};
};

// Each message's title, text and flags are exactly the product's.
TEST_F(PluginUiTest, MessagesHaveTheirTitlesTextsAndFlags) {
    struct Expected {
        const char16_t* title;
        const char16_t* text;
        uint32_t flags;
    };
    const Expected expected[] = {
        {u"Velora Vantro - Save project first", u"Please save your project before starting Velora Vantro.", 0x40},
        {u"Velora Vantro - File already open",
         u"Cannot start the Vantro connection.\n\nFile \"house.dae\" is being used by another instance of Rhino.\n\n"
         u"Save the file with a different name or stop other connections.",
         0x10},
        {u"Velora Vantro - Velora is not running",
         u"Velora 8.3.0 or newer is not running.\nWould you like to start Velora now?", 0x24},
        {u"Velora Vantro - Velora is not running",
         u"Velora 8.3.0 or newer is not running.\nPlease close your current version and start Velora 8.3.0 or newer.",
         0x40},
        {u"Velora Vantro - Newer Velora version required",
         u"You need to have Velora\u00ae 8.3.0 or newer to start Vantro.\n"
         u"Are you interested in learning more about the current version of Velora?",
         0x24},
    };
    ui.ShowSaveFirst();
    ui.ShowFileInUse(u"house.dae");
    ui.AskStartVelora(true);
    ui.AskStartVelora(false);
    ui.AskNewerVelora();
    ASSERT_EQ(RhinoMessageBoxHistory().size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const RhinoMessageBox& box = RhinoMessageBoxHistory()[i];
        EXPECT_EQ(box.title, ON_wString(expected[i].title)) << i;
        EXPECT_EQ(box.text, ON_wString(expected[i].text)) << i;
        EXPECT_EQ(box.flags, expected[i].flags) << i;
    }
}

// Questions are true only for Yes; the information box behind AskStartVelora(false)
// is always false, whatever comes back.
TEST_F(PluginUiTest, QuestionsAreTrueOnlyForYes) {
    EXPECT_TRUE(ui.AskStartVelora(true));
    EXPECT_TRUE(ui.AskNewerVelora());
    EXPECT_FALSE(ui.AskStartVelora(false));
    EXPECT_EQ(last().result, IDOK);
    answer = IDNO;
    EXPECT_FALSE(ui.AskStartVelora(true));
    EXPECT_FALSE(ui.AskNewerVelora());
    // An answer that is not one of the box's buttons takes the default (Yes).
    answer = 12345;
    EXPECT_TRUE(ui.AskNewerVelora());
}

// The tracking query encodes the host's version and service release, the build
// version and the campaign; the three pages share it.
TEST(WebAddresses, CarryTheTrackingQuery) {
    RhinoApp().SetExeVersion(6, 9);
    const ON_wString query = u"?utm_source=Rhino%206%20SR9&utm_medium=3%2e50rc%2e52&utm_campaign=Rhino6%20Vantro";
    EXPECT_EQ(UtmQuery(), query);
    EXPECT_EQ(HomePageUrl(), ON_wString(u"https://www.orvane-velora.com") + query);
    EXPECT_EQ(SupportPageUrl(), ON_wString(u"https://www.orvane-velora.com/support.html") + query);
    EXPECT_EQ(ExportersPageUrl(), ON_wString(u"https://www.orvane-velora.com/rhino-exporters.html") + query);
}

}  // namespace
