#include "sdk_internal.h"

#include <algorithm>
#include <array>
#include <vector>

namespace vantro::sdk {

namespace {
std::array<uint32_t, 256> makeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}

int lastSeparator(const ON_wString& path) { return std::max(path.ReverseFind(u'/'), path.ReverseFind(u'\\')); }
}  // namespace

uint32_t crc32(uint32_t crc, const void* data, size_t size) {
    static const std::array<uint32_t, 256> table = makeCrcTable();
    const auto* p = static_cast<const uint8_t*>(data);
    crc = ~crc;
    for (size_t i = 0; i < size; ++i)
        crc = table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

bool samePath(const ON_wString& a, const ON_wString& b) {
    if (a.Length() != b.Length())
        return false;
    auto norm = [](char16_t c) -> char16_t {
        if (c == u'\\')
            return u'/';
        if (c >= u'A' && c <= u'Z')
            return static_cast<char16_t>(c + 32);
        return c;
    };
    for (int i = 0; i < a.Length(); ++i)
        if (norm(a[i]) != norm(b[i]))
            return false;
    return true;
}

ON_wString fileNamePart(const ON_wString& path) { return path.Mid(lastSeparator(path) + 1); }

ON_wString folderPart(const ON_wString& path) {
    const int at = lastSeparator(path);
    return at < 0 ? ON_wString() : path.Left(at);
}

bool readRegistryText(const vantro::platform::RegistryKey& key, std::u16string_view name, ON_wString& value,
                      size_t maxUnits) {
    vantro::platform::RegType type = vantro::platform::RegType::none;
    std::vector<uint8_t> data;
    if (key.queryValue(name, &type, &data) != vantro::platform::kErrorSuccess || type != vantro::platform::RegType::sz)
        return false;
    std::u16string text(std::min(data.size() / 2, maxUnits), u'\0');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    while (!text.empty() && text.back() == u'\0')
        text.pop_back();
    value = ON_wString(std::move(text));
    return true;
}

}  // namespace vantro::sdk
