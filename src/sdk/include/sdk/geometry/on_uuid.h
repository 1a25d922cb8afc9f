#pragma once
// ON_UUID: a 128-bit identifier laid out like a Windows GUID, with text conversion.
//
// Text form: 36 characters "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx", lower-case
// hexadecimal on output; parsing accepts either case and optional surrounding braces.
// Thread-safety: all functions may be called from any thread.

#include <cstddef>
#include <cstdint>
#include <string_view>

class ON_wString;

struct ON_UUID {
    uint32_t Data1 = 0;
    uint16_t Data2 = 0;
    uint16_t Data3 = 0;
    uint8_t Data4[8] = {};

    friend bool operator==(const ON_UUID& a, const ON_UUID& b);
    friend bool operator!=(const ON_UUID& a, const ON_UUID& b) { return !(a == b); }
    // A total order (field by field), for sorted containers.
    friend bool operator<(const ON_UUID& a, const ON_UUID& b);
};

inline constexpr ON_UUID ON_nil_uuid{};

bool ON_UuidIsNil(const ON_UUID& id);
bool ON_UuidIsNotNil(const ON_UUID& id);

// A new random (version 4) identifier; never nil.
ON_UUID ON_CreateUuid();
// Same, written into id; always true.
bool ON_CreateUuid(ON_UUID& id);

// Parses the text form. Anything else (wrong length, non-hex digit, misplaced
// hyphen) gives ON_nil_uuid; a null pointer gives ON_nil_uuid.
ON_UUID ON_UuidFromString(const char16_t* text);
ON_UUID ON_UuidFromString(std::u16string_view text);
ON_UUID ON_UuidFromString(std::string_view utf8Text);

// The text form, lower case, without braces.
ON_wString ON_UuidToString(const ON_UUID& id);
// Same, stored into text; returns text.Array().
const char16_t* ON_UuidToString(const ON_UUID& id, ON_wString& text);

// Hash functor for unordered containers keyed by ON_UUID.
struct ON_UuidHash {
    size_t operator()(const ON_UUID& id) const;
};
