#include "platform/utf.h"

#include <climits>

#include "win32/windows_api.h"

namespace vantro::platform {

// Without MB_ERR_INVALID_CHARS both conversions replace what does not convert with
// U+FFFD instead of failing. Texts beyond INT_MAX units are converted in pieces that
// end on a whole character.

std::string toUtf8(std::u16string_view text) {
    std::string out;
    while (!text.empty()) {
        size_t units = std::min<size_t>(text.size(), INT_MAX / 4);
        if (units < text.size() && text[units - 1] >= 0xD800 && text[units - 1] <= 0xDBFF)
            --units;  // keep a surrogate pair together
        const auto* source = reinterpret_cast<const wchar_t*>(text.data());
        const int bytes =
            ::WideCharToMultiByte(CP_UTF8, 0, source, static_cast<int>(units), nullptr, 0, nullptr, nullptr);
        const size_t at = out.size();
        out.resize(at + static_cast<size_t>(bytes));
        ::WideCharToMultiByte(CP_UTF8, 0, source, static_cast<int>(units), out.data() + at, bytes, nullptr, nullptr);
        text.remove_prefix(units);
    }
    return out;
}

std::u16string fromUtf8(std::string_view text) {
    std::u16string out;
    while (!text.empty()) {
        size_t bytes = std::min<size_t>(text.size(), INT_MAX / 2);
        while (bytes < text.size() && bytes > 0 && (static_cast<unsigned char>(text[bytes]) & 0xC0) == 0x80)
            --bytes;  // cut before a continuation byte, never inside a character
        if (bytes == 0)
            bytes = std::min<size_t>(text.size(), INT_MAX / 2);
        const int units = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(bytes), nullptr, 0);
        const size_t at = out.size();
        out.resize(at + static_cast<size_t>(units));
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(bytes),
                              reinterpret_cast<wchar_t*>(out.data() + at), units);
        text.remove_prefix(bytes);
    }
    return out;
}

}  // namespace vantro::platform
