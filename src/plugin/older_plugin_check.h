#pragma once
// The version of an installed copy of the plug-in, read from its path.

#include <string>
#include <string_view>

namespace vantro::plugin {

// The name of the folder that holds the "Velora" folder of path: the text between
// the last separator before the last "<sep>Velora<sep>" and that occurrence
// ("…/3.5.0.52/Velora/libvantro.so" gives "3.5.0.52"). Separators are '\' (the
// modelling host's paths) and '/' (POSIX paths), in any mix; "Velora" is matched
// case-sensitively. Empty when the path has no Velora folder or nothing before it.
// Pure; any thread.
std::u16string VersionFromInstallPath(std::u16string_view path);

}  // namespace vantro::plugin
