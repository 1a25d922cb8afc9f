#pragma once
// The two escapings the document needs: percent-encoding of an image path and XML
// escaping of a library id.

#include <string>
#include <string_view>

namespace vantro::collada {

// Percent-encodes a relative image path, one UTF-16 code unit at a time, into UTF-8:
// an alphanumeric unit is kept (ASCII letters and digits, and every unit that the
// C.UTF-8 locale classifies as alphanumeric, written as its UTF-8 bytes); so are
// ! $ & ' ( ) + , - . / : ; = @ [ \ ] _ ~; any other unit below 128 becomes "%" and
// two lower-case hex digits; a unit from 128 to 2047 the two escapes of its two-byte
// UTF-8 form; any higher unit (surrogates too, each on its own) the three escapes of
// its three-byte form. The process locale is never consulted. Never fails.
std::string percentEncodeImagePath(std::u16string_view path);

// Replaces " & ' < > by &quot; &amp; &apos; &lt; &gt;; everything else is kept.
std::string escapeXml(std::string_view text);

}  // namespace vantro::collada
