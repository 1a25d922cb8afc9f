#pragma once
// Path text of texture files. Paths handed to the file system use the platform's
// separator; documents written on another system may use either slash, so both are
// read as separators. Pure functions; any thread.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace vantro::materials {

constexpr char16_t kPathSeparator = char16_t(std::filesystem::path::preferred_separator);

// path with every "/" and "\" replaced by the platform's separator.
std::u16string NativeSeparators(std::u16string_view path);

struct TextureFolder {
    std::u16string name;  // "<base>_Textures"
    std::u16string path;  // "<directory><separator><base>_Textures"
};

// The folder for the texture copies of a document or export saved at path: the stem
// (path up to the last "." of its file name, the whole path without one) split at its
// last separator into directory and base; without a separator both are the whole stem.
// Separators are the platform's ("\\" and "/" on Windows, "/" elsewhere).
// "/out/House.dae" gives {"House_Textures", "/out/House_Textures"}.
TextureFolder TextureFolderFor(std::u16string_view path);

// File name of a material's texture copy: its id as at least four lower-case hex
// digits (as unsigned 64-bit, so -1 gives ffffffffffffffff), ".", extension.
std::u16string TextureCopyName(int64_t id, std::u16string_view extension);

// The text after the last "." of path; the whole path when it has none.
std::u16string_view ExtensionOf(std::u16string_view path);

}  // namespace vantro::materials
