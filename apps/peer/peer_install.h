#pragma once
// `velora-peer --install DIR`: installs the peer as the renderer would be installed,
// so that the plug-in's discovery finds it and can start it.
//
// - DIR (created when missing) receives a copy of this program named "Velora.exe",
//   the name the plug-in starts from an install location.
// - The options given besides --install (all but --install DIR) are saved beside it
//   in "Velora.exe.options", one argument per line: the installed copy, started
//   without arguments (as the plug-in starts it), runs with them.
// - The registry store gets the entry "Velora <version>" under the Uninstall key of
//   HKEY_LOCAL_MACHINE (SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall) with
//   DisplayName "Velora <version>",
//   DisplayVersion <version>, Publisher and InstallLocation (DIR, absolute, with a
//   trailing '/', since the plug-in appends "Velora.exe" directly).
// Prints "INSTALLED version=<v> location=<dir/>" and returns 0; 1 with a message on
// stderr when anything cannot be written.

#include <string>
#include <vector>

#include "peer_options.h"

namespace vantro::peer {

int installPeer(const PeerOptions& options, int argc, const char* const* argv);

// The arguments to run with: argv as given, or, for an installed copy started
// without arguments, its saved options. storage keeps the saved texts alive.
std::vector<const char*> startArguments(int argc, const char* const* argv, std::vector<std::string>& storage);

}  // namespace vantro::peer
