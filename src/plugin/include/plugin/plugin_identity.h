#pragma once
// The plug-in's fixed identity: ids, names, version texts, the maker's web site and
// the command identifiers shared by the menu, the dock-bar buttons and the
// menu-command dispatch.

#include <cstdint>

namespace vantro::plugin {

// Three distinct UUIDs: the plug-in, its command and its dock bar.
inline constexpr char16_t kPlugInIdText[] = u"623018e4-f9c4-4e4e-99ee-ec7af9f3576b";
inline constexpr char16_t kCommandIdText[] = u"5a05df07-56c3-4ed3-b049-76cd719d9ca6";
inline constexpr char16_t kDockBarIdText[] = u"036fab44-a37b-4bf8-bae1-ecc50bb32335";

inline constexpr char16_t kPlugInName[] = u"Velora Vantro for Rhino";
inline constexpr char16_t kPlugInDescription[] = u"Velora Vantro\u00ae for Rhino";
// The build version (statistics, web query, COLLADA authoring tool) and the display
// version (About dialog, tooltip).
inline constexpr char16_t kBuildVersion[] = u"3.50rc.52";
inline constexpr char16_t kDisplayVersion[] = u"3.50.52";
// The module's version: the compiler's build date and time, "Oct 30 2018  11:23:36".
inline constexpr char kBuildDateTime[] = __DATE__ "  " __TIME__;

// The maker's web site (scheme and host, no trailing slash) and the page paths.
inline constexpr char16_t kSiteAddress[] = u"https://www.orvane-velora.com";
inline constexpr char16_t kSupportPath[] = u"/support.html";
inline constexpr char16_t kExportersPath[] = u"/rhino-exporters.html";

// Command identifiers of the menu and the dock-bar buttons.
enum MenuCommand : uint32_t {
    kMenuStart = 31771,
    kMenuStop = 31772,
    kMenuCameraSync = 31773,
    kMenuStatus = 31774,
    kMenuSettings = 31775,
    kMenuAbout = 31776,
    kMenuToolbar = 31777,
    kMenuStartCamera = 31778,
    kMenuStopCamera = 31779,
    kMenuStatusRunning = 31780,
    kMenuExportCollada = 31781,
};

}  // namespace vantro::plugin
