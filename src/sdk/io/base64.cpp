#include "io/base64.h"

#include <array>

namespace vantro::docio {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr uint8_t kInvalid = 0xFF;

constexpr std::array<uint8_t, 256> makeDecodeTable() {
    std::array<uint8_t, 256> table{};
    for (auto& v : table)
        v = kInvalid;
    for (uint8_t i = 0; i < 64; ++i)
        table[static_cast<uint8_t>(kAlphabet[i])] = i;
    return table;
}

constexpr std::array<uint8_t, 256> kDecode = makeDecodeTable();

}  // namespace

std::string encodeBase64(const uint8_t* data, size_t size) {
    std::string out;
    out.reserve((size + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= size; i += 3) {
        const uint32_t v = (uint32_t{data[i]} << 16) | (uint32_t{data[i + 1]} << 8) | data[i + 2];
        out.push_back(kAlphabet[v >> 18]);
        out.push_back(kAlphabet[(v >> 12) & 63]);
        out.push_back(kAlphabet[(v >> 6) & 63]);
        out.push_back(kAlphabet[v & 63]);
    }
    if (i < size) {
        const bool two = size - i == 2;
        const uint32_t v = (uint32_t{data[i]} << 16) | (two ? uint32_t{data[i + 1]} << 8 : 0);
        out.push_back(kAlphabet[v >> 18]);
        out.push_back(kAlphabet[(v >> 12) & 63]);
        out.push_back(two ? kAlphabet[(v >> 6) & 63] : '=');
        out.push_back('=');
    }
    return out;
}

std::optional<std::vector<uint8_t>> decodeBase64(std::string_view text) {
    if (text.size() % 4 != 0)
        return std::nullopt;
    size_t padding = 0;
    if (!text.empty() && text.back() == '=')
        padding = text[text.size() - 2] == '=' ? 2 : 1;
    std::vector<uint8_t> out;
    out.reserve(text.size() / 4 * 3 - padding);
    for (size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        const size_t valid = last ? 4 - padding : 4;
        uint32_t v = 0;
        for (size_t k = 0; k < 4; ++k) {
            uint8_t d = 0;
            if (k < valid) {
                d = kDecode[static_cast<uint8_t>(text[i + k])];
                if (d == kInvalid)
                    return std::nullopt;
            }
            v = (v << 6) | d;
        }
        out.push_back(static_cast<uint8_t>(v >> 16));
        if (valid >= 3)
            out.push_back(static_cast<uint8_t>(v >> 8));
        if (valid == 4)
            out.push_back(static_cast<uint8_t>(v));
        // Canonical form only: the bits past the last byte must be zero.
        if ((valid == 3 && (v & 0xFF) != 0) || (valid == 2 && (v & 0xFFFF) != 0))
            return std::nullopt;
    }
    return out;
}

}  // namespace vantro::docio
