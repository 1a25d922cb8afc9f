#include "link_statistics.h"

#include <array>
#include <string>
#include <vector>

#include "platform/hash_data.h"
#include "plugin/plugin_identity.h"
#include "sdk/geometry/on_string.h"

namespace vantro::plugin {

namespace {

std::u16string decimal(std::string_view digits) { return std::u16string(digits.begin(), digits.end()); }

}  // namespace

uint64_t LinkNameHash(std::u16string_view linkName) {
    std::vector<uint8_t> bytes;
    bytes.reserve(linkName.size() * 2);
    for (char16_t unit : linkName) {
        bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
    std::array<uint8_t, 8> hash{};
    vantro::platform::hashData(bytes, hash);
    uint64_t value = 0;
    for (size_t i = hash.size(); i-- > 0;)
        value = value << 8 | hash[i];
    return value;
}

VantroAPI::StatisticsMap BuildLinkStatistics(std::string_view toolName, std::string_view toolVersion,
                                             std::u16string_view linkName, int32_t elapsedMicroseconds,
                                             bool cameraSync) {
    VantroAPI::StatisticsMap values;
    values[u"toolName"] = {0, ON_wString::FromUtf8(toolName).Array()};
    values[u"toolVersion"] = {0, ON_wString::FromUtf8(toolVersion).Array()};
    values[u"format"] = {0, kLinkFormatCode};
    values[u"pluginVersion"] = {0, kBuildVersion};
    values[u"fileNameCrc"] = {1, decimal(std::to_string(LinkNameHash(linkName)))};
    values[u"vertexCount"] = {1, u"0"};
    values[u"time"] = {1, decimal(std::to_string(elapsedMicroseconds))};
    values[u"cameraSync"] = {1, cameraSync ? u"1" : u"0"};
    return values;
}

}  // namespace vantro::plugin
