#pragma once
// Case-insensitive comparison of registry names, the way the Windows registry does
// it: each UTF-16 unit is upper-cased on its own (Unicode simple upper case of BMP
// characters; surrogates and characters whose upper case is not one BMP character
// stay as they are). Internal to src/platform/posix.

#include <string>
#include <string_view>

namespace vantro::platform::posix {

char16_t upperCaseUnit(char16_t unit);

std::u16string upperCase(std::u16string_view text);

}  // namespace vantro::platform::posix
