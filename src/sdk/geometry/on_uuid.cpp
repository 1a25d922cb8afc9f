#include "sdk/geometry/on_uuid.h"

#include <cstring>
#include <random>

#include "sdk/geometry/on_string.h"

namespace {

int hexValue(char32_t c) {
    if (c >= '0' && c <= '9')
        return static_cast<int>(c - '0');
    if (c >= 'a' && c <= 'f')
        return static_cast<int>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F')
        return static_cast<int>(c - 'A' + 10);
    return -1;
}

// Parses 32 hex digits in the 8-4-4-4-12 pattern from any character sequence.
template <class Char>
ON_UUID parse(const Char* text, size_t length) {
    if (length == 38 && text[0] == '{' && text[37] == '}') {
        ++text;
        length = 36;
    }
    if (length != 36)
        return ON_nil_uuid;
    uint8_t bytes[16] = {};
    size_t nibble = 0;
    for (size_t i = 0; i < 36; ++i) {
        const bool hyphenPlace = (i == 8 || i == 13 || i == 18 || i == 23);
        if (hyphenPlace) {
            if (text[i] != '-')
                return ON_nil_uuid;
            continue;
        }
        const int v = hexValue(static_cast<char32_t>(text[i]));
        if (v < 0)
            return ON_nil_uuid;
        bytes[nibble / 2] = static_cast<uint8_t>(bytes[nibble / 2] | (nibble % 2 == 0 ? v << 4 : v));
        ++nibble;
    }
    ON_UUID id;
    id.Data1 = (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) | bytes[3];
    id.Data2 = static_cast<uint16_t>((bytes[4] << 8) | bytes[5]);
    id.Data3 = static_cast<uint16_t>((bytes[6] << 8) | bytes[7]);
    std::memcpy(id.Data4, bytes + 8, 8);
    return id;
}

}  // namespace

bool operator==(const ON_UUID& a, const ON_UUID& b) {
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 && std::memcmp(a.Data4, b.Data4, 8) == 0;
}

bool operator<(const ON_UUID& a, const ON_UUID& b) {
    if (a.Data1 != b.Data1)
        return a.Data1 < b.Data1;
    if (a.Data2 != b.Data2)
        return a.Data2 < b.Data2;
    if (a.Data3 != b.Data3)
        return a.Data3 < b.Data3;
    return std::memcmp(a.Data4, b.Data4, 8) < 0;
}

bool ON_UuidIsNil(const ON_UUID& id) { return id == ON_nil_uuid; }
bool ON_UuidIsNotNil(const ON_UUID& id) { return !(id == ON_nil_uuid); }

ON_UUID ON_CreateUuid() {
    // One engine per thread: no lock, and ids from different threads stay independent.
    thread_local std::mt19937_64 engine{std::random_device{}()};
    ON_UUID id;
    do {
        const uint64_t hi = engine();
        const uint64_t lo = engine();
        id.Data1 = static_cast<uint32_t>(hi >> 32);
        id.Data2 = static_cast<uint16_t>(hi >> 16);
        id.Data3 = static_cast<uint16_t>((hi & 0x0FFF) | 0x4000);  // version 4
        for (int i = 0; i < 8; ++i)
            id.Data4[i] = static_cast<uint8_t>(lo >> (56 - 8 * i));
        id.Data4[0] = static_cast<uint8_t>((id.Data4[0] & 0x3F) | 0x80);  // RFC 4122 variant
    } while (ON_UuidIsNil(id));
    return id;
}

bool ON_CreateUuid(ON_UUID& id) {
    id = ON_CreateUuid();
    return true;
}

ON_UUID ON_UuidFromString(const char16_t* text) {
    if (!text)
        return ON_nil_uuid;
    return ON_UuidFromString(std::u16string_view(text));
}

ON_UUID ON_UuidFromString(std::u16string_view text) { return parse(text.data(), text.size()); }

ON_UUID ON_UuidFromString(std::string_view utf8Text) { return parse(utf8Text.data(), utf8Text.size()); }

ON_wString ON_UuidToString(const ON_UUID& id) {
    static const char16_t digits[] = u"0123456789abcdef";
    uint8_t bytes[16];
    bytes[0] = static_cast<uint8_t>(id.Data1 >> 24);
    bytes[1] = static_cast<uint8_t>(id.Data1 >> 16);
    bytes[2] = static_cast<uint8_t>(id.Data1 >> 8);
    bytes[3] = static_cast<uint8_t>(id.Data1);
    bytes[4] = static_cast<uint8_t>(id.Data2 >> 8);
    bytes[5] = static_cast<uint8_t>(id.Data2);
    bytes[6] = static_cast<uint8_t>(id.Data3 >> 8);
    bytes[7] = static_cast<uint8_t>(id.Data3);
    std::memcpy(bytes + 8, id.Data4, 8);
    std::u16string text;
    text.reserve(36);
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            text.push_back(u'-');
        text.push_back(digits[bytes[i] >> 4]);
        text.push_back(digits[bytes[i] & 0xF]);
    }
    return ON_wString(std::move(text));
}

const char16_t* ON_UuidToString(const ON_UUID& id, ON_wString& text) {
    text = ON_UuidToString(id);
    return text.Array();
}

size_t ON_UuidHash::operator()(const ON_UUID& id) const {
    uint64_t a = (uint64_t(id.Data1) << 32) | (uint64_t(id.Data2) << 16) | id.Data3;
    uint64_t b = 0;
    std::memcpy(&b, id.Data4, 8);
    a ^= b + 0x9e3779b97f4a7c15ULL + (a << 6) + (a >> 2);
    return static_cast<size_t>(a);
}
