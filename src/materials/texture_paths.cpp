#include "materials/texture_paths.h"

#include <cstdio>

namespace vantro::materials {

std::u16string NativeSeparators(std::u16string_view path) {
    std::u16string out(path);
    for (char16_t& c : out)
        if (c == u'/' || c == u'\\')
            c = kPathSeparator;
    return out;
}

TextureFolder TextureFolderFor(std::u16string_view path) {
    // A saved file's path is the file system's own: on POSIX "\\" is part of a name, and
    // a "." in a folder's name is no extension.
    const std::u16string native = kPathSeparator == u'\\' ? NativeSeparators(path) : std::u16string(path);
    const size_t lastSeparator = native.rfind(kPathSeparator);
    const size_t nameStart = lastSeparator == std::u16string::npos ? 0 : lastSeparator + 1;
    const size_t dot = native.rfind(u'.');
    std::u16string stem = dot == std::u16string::npos || dot < nameStart ? native : native.substr(0, dot);
    std::u16string directory = stem;
    std::u16string base = stem;
    size_t slash = stem.rfind(kPathSeparator);
    if (slash != std::u16string::npos) {
        directory = stem.substr(0, slash);
        base = stem.substr(slash + 1);
    }
    TextureFolder folder;
    folder.name = base + u"_Textures";
    folder.path = directory + kPathSeparator + folder.name;
    return folder;
}

std::u16string TextureCopyName(int64_t id, std::u16string_view extension) {
    char digits[24];
    std::snprintf(digits, sizeof digits, "%04llx", static_cast<unsigned long long>(id));
    std::u16string name(digits, digits + std::char_traits<char>::length(digits));
    name.push_back(u'.');
    name.append(extension);
    return name;
}

std::u16string_view ExtensionOf(std::u16string_view path) {
    size_t dot = path.rfind(u'.');
    return dot == std::u16string_view::npos ? path : path.substr(dot + 1);
}

}  // namespace vantro::materials
