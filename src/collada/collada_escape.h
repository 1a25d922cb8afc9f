#pragma once
// The escapings the document needs: percent-encoding of an image path, XML escaping of
// every text and attribute, and the id form of a name.

#include <string>
#include <string_view>

namespace vantro::collada {

// Percent-encodes a relative image path, one UTF-16 code unit at a time, into UTF-8:
// an alphanumeric unit is kept (ASCII letters and digits, and every unit that the
// C.UTF-8 locale classifies as alphanumeric, written as its UTF-8 bytes); so are
// ! $ & ' ( ) + , - . / : ; = @ \ _ ~ (a ":" only after the first separator, where it
// cannot be read as a URI scheme); any other unit below 128 ("[" and "]" too, which a
// URI holds only around an IP address) becomes "%" and
// two lower-case hex digits; a unit from 128 to 2047 the two escapes of its two-byte
// UTF-8 form; any higher unit the three escapes of its three-byte form, except a
// surrogate pair, which becomes the four escapes of its character's UTF-8 form (an
// unpaired surrogate is escaped on its own). The process locale is never consulted.
// Never fails.
std::string percentEncodeImagePath(std::u16string_view path);

// XML text of UTF-8 text, for element text and attribute values alike: " & ' < > become
// &quot; &amp; &apos; &lt; &gt;; tab, line feed and carriage return become character
// references (so that an attribute keeps them and the output's CR LF translation does
// not touch them); characters that XML 1.0 cannot carry at all (the other C0 controls,
// U+FFFE, U+FFFF) become U+FFFD. Everything else is kept, so text without any of
// these comes out unchanged.
std::string escapeXml(std::string_view text);

// The form of a name used in the document's ids: every character that a URI fragment
// cannot carry unescaped (blank, # $ % & / : ; < = > ? @ [ \ ] ^ ` { | } ~, controls)
// becomes "_", so that "#id" references resolve as written. Names of letters, digits,
// non-ASCII characters and - . _ ( ) ! * + , ' " are kept as they are.
std::string idText(std::string_view name);

// The form of a name that the strict schema takes as an XML name (xs:NCName, and so
// also as xs:ID, xs:IDREF and a sid), for the schema-valid document: ASCII letters and
// digits, "-", "." and "_" and the Latin-1 letters (U+00C0 to U+00FF but for the signs
// U+00D7 and U+00F7) are kept; every other character, a whole UTF-8 sequence at a time
// (a malformed one too), becomes "_". A result that would begin with a digit, "-" or
// "." (or be empty) gets a leading "_". The letters kept are those every edition of XML
// calls letters, so that any validator agrees; names in other scripts lose them.
std::string ncNameText(std::string_view name);

}  // namespace vantro::collada
