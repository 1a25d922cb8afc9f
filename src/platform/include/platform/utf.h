#pragma once
// UTF-16 <-> UTF-8 conversion. Every wide text of the system is UTF-16 (char16_t);
// narrow text (file names on POSIX, JSON, COLLADA) is UTF-8.

#include <string>
#include <string_view>

namespace vantro::platform {

// Converts UTF-16 to UTF-8. An unpaired surrogate becomes U+FFFD; never fails.
std::string toUtf8(std::u16string_view text);

// Converts UTF-8 to UTF-16. Invalid sequences become U+FFFD; never fails.
std::u16string fromUtf8(std::string_view text);

}  // namespace vantro::platform
