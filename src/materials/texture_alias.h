#pragma once
// A short name for a texture file whose path does not fit the record's 260-unit path
// field: cut to fit, the path would name no file while the material shows as textured
// (white). The alias is a symbolic link in the private runtime directory,
//   <runtime directory>/textures/<16 hex digits of the path's name key>.<extension>
// so the renderer opens the very file, whatever its format, and nothing of it is read
// here. (A Windows build gets the same from the file's 8.3 short path.)

#include <string>

namespace vantro::materials {

// The alias of path (UTF-16, platform separators): made, or re-pointed when it named
// another file, and returned. Empty when there is no runtime directory, the link
// cannot be made or the alias is itself longer than maxUnits. Main thread.
std::u16string ShortTextureAlias(const std::u16string& path, size_t maxUnits);

}  // namespace vantro::materials
