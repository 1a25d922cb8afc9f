#pragma once
// Percent-encoding of UTF-16 text, shared by the statistics record and the web
// addresses the user interface opens.

#include <string>
#include <string_view>

namespace vantro {

// Keeps the ASCII letters A-Z, a-z and digits 0-9; every other UTF-16 code unit
// becomes '%' and two lower-case hex digits per UTF-8 byte of that unit: one byte
// below 0x80, two below 0x800, three from 0x800 up. Each surrogate of a pair is
// encoded on its own (three bytes each), so the result is defined for any input,
// unpaired surrogates included. A blank gives "%20". Pure; any thread.
std::u16string UrlEncode(std::u16string_view text);

}  // namespace vantro
