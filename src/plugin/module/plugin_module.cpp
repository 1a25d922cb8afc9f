// The plug-in module (libvantro.so): the identification exports the host reads before
// loading, and the module's static objects — the application object, the single
// plug-in object and the command. Constructing the plug-in object and the command
// hands them to the host (their SDK base classes register them).

#include "plugin_app.h"
#include "plugin/plugin_identity.h"
#include "vantro_command.h"
#include "plugin/velora_plugin.h"

#define VANTRO_EXPORT extern "C" __attribute__((visibility("default")))

using namespace vantro::plugin;

namespace {

CPluginApp theApp;
VeloraPlugin thePlugIn;
CVantroCommand theVantroCommand;

// Runs InitInstance when the module is opened, as the application object's start-up.
[[maybe_unused]] const bool appStarted = theApp.InitInstance();

constexpr char16_t kOrganization[] = u"Orvane";
constexpr char16_t kAddress[] = u"Orvane, Velora Street 1";
constexpr char16_t kCountry[] = u"Poland";
constexpr char16_t kEmail[] = u"support@orvane-velora.com";
constexpr char16_t kPhone[] = u"+48 12 000 00 00";
constexpr char16_t kUpdateUrl[] = u"https://www.orvane-velora.com/support.html";

}  // namespace

VeloraPlugin& ThePlugIn() { return thePlugIn; }

VANTRO_EXPORT const char16_t* RhinoPlugInName() { return kPlugInName; }
VANTRO_EXPORT const char16_t* RhinoPlugInDescription() { return kPlugInDescription; }
VANTRO_EXPORT const char* RhinoPlugInVersion() { return kBuildDateTime; }
VANTRO_EXPORT const char16_t* RhinoPlugInId() { return kPlugInIdText; }
VANTRO_EXPORT int RhinoPlugInIconResourceId() { return 110; }
VANTRO_EXPORT unsigned int RhinoPlugInMfcVersion() { return 3584; }
VANTRO_EXPORT unsigned int RhinoPlugInMscVersion() { return 1915; }
VANTRO_EXPORT unsigned int RhinoPlugInSdkVersion() { return 0x8C006509u; }
VANTRO_EXPORT unsigned int RhinoPlugInSdkServiceRelease() { return 0x8C08683Du; }
VANTRO_EXPORT bool RhinoPlugInUsesMfc() { return true; }
VANTRO_EXPORT const char16_t* RhinoPlugInUpdateURL() { return kUpdateUrl; }
VANTRO_EXPORT const char16_t* RhinoPlugInDeveloperOrganization() { return kOrganization; }
VANTRO_EXPORT const char16_t* RhinoPlugInDeveloperAddress() { return kAddress; }
VANTRO_EXPORT const char16_t* RhinoPlugInDeveloperCountry() { return kCountry; }
VANTRO_EXPORT const char16_t* RhinoPlugInDeveloperEmail() { return kEmail; }
VANTRO_EXPORT const char16_t* RhinoPlugInDeveloperPhone() { return kPhone; }
VANTRO_EXPORT const char16_t* RhinoPlugInDeveloperFax() { return kPhone; }
VANTRO_EXPORT const char16_t* RhinoPlugInDeveloperWebsite() { return kSiteAddress; }
