#pragma once
// Where the renderer's version comes from: the titles of its running main windows,
// and the installed programs listed under the Uninstall key of HKEY_LOCAL_MACHINE in
// the registry store. On this platform `velora-peer --install DIR` writes such an
// entry (docs/discovery.md); the decisions of CheckVelora depend only on the two
// version texts.
//
// Unreadable keys, values, windows and titles are skipped silently. Main thread (the
// window search runs parallel tasks of its own).

#include <string>

namespace vantro::discovery {

// HKEY_LOCAL_MACHINE key of the installed programs.
inline constexpr char16_t kUninstallKey[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
// The renderer's program in its install location.
inline constexpr char16_t kVeloraExecutable[] = u"Velora.exe";

// The highest version (CompareVersions) among the renderer's running main windows
// whose title contains "Velora " (case-sensitive), each title cleaned of every
// character but digits and '.'; "0.0.0.0" when none.
std::u16string GetRunningVersion();

// The highest cleaned "DisplayVersion" among Uninstall entries whose "DisplayName"
// contains "Velora", compared as plain text (so "9.0" beats "10.0"); "0.0" when none.
std::u16string GetInstalledVersion();

// Starts the program of the last Uninstall entry (in enumeration order) whose cleaned
// version equals version exactly: its "InstallLocation" directly followed by
// "Velora.exe" (no separator is added), in that folder, without waiting. Always true;
// a failed start is not reported.
bool LaunchVelora(const std::u16string& version);

// Keeps only the digits and full stops of text ("Velora 9 Pro 2" gives "92").
std::u16string VersionDigits(const std::u16string& text);

}  // namespace vantro::discovery
