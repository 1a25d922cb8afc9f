#pragma once
// The statistics a start of the link publishes in the "STAT" record: which host the
// plug-in runs in, its version, a hash of the linked file's name, how long the start
// took and whether the camera follows. Nothing in the plug-in reads them back.
//
// JSON key order is the map's (UTF-16 code units): cameraSync, fileNameCrc, format,
// pluginVersion, time, toolName, toolVersion, vertexCount.
// Pure; any thread.

#include <cstdint>
#include <string_view>

#include "link/live_connection.h"

namespace vantro::plugin {

// The two letters naming the live-link format in the statistics.
inline constexpr char16_t kLinkFormatCode[] = u"VL";

// The 64-bit hash of a link name: hashData (the Windows HashData, platform/hash_data.h)
// over the name's UTF-16 code units as little-endian byte pairs, without
// terminator, into 8 bytes read as a little-endian integer. The same value on every
// platform, and the one a renderer on Windows computes for the name.
uint64_t LinkNameHash(std::u16string_view linkName);

// The eight entries. toolName and toolVersion are UTF-8 texts of the host
// (RhinoAppVersionBuildDescription, RhinoAppVersionQuartetAsString); elapsed is the
// start's duration in whole microseconds.
VantroAPI::StatisticsMap BuildLinkStatistics(std::string_view toolName, std::string_view toolVersion,
                                             std::u16string_view linkName, int32_t elapsedMicroseconds,
                                             bool cameraSync);

}  // namespace vantro::plugin
