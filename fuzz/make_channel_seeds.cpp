// Writes the seed inputs of channel_peer_fuzz and channel_creator_fuzz from a channel
// made by the real creator code: the view and statistics records and two material
// records, one of which owns a geometry buffer.
//   make_channel_seeds <corpus folder>   (writes channel_peer/ and channel_creator/)
// Run again when the channel layout changes; the seeds are checked in.

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz_environment.h"
#include "link/channel_layout.h"
#include "link/live_connection.h"

using namespace VantroAPI;

namespace {

void writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void appendChunk(std::vector<uint8_t>& out, const void* bytes, size_t size) {
    out.push_back(uint8_t(size));
    out.push_back(uint8_t(size >> 8));
    const auto* from = static_cast<const uint8_t*>(bytes);
    out.insert(out.end(), from, from + size);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_channel_seeds <corpus folder>\n");
        return 2;
    }
    const std::filesystem::path corpus = argv[1];
    vantro::fuzz::usePrivateEnvironment();
    LiveConnection creator;
    constexpr uint32_t kSlots = 8;
    if (creator.Create(vantro::fuzz::connectionName("seeds"), kSlots) != 0)
        return 1;
    StatisticsMap stats;
    stats[u"objects"] = StatisticValue{1, u"12"};
    stats[u"version"] = StatisticValue{0, u"3.50rc.52"};
    creator.SetStatistics(stats);  // buffer 1
    ViewData view{};
    view.cameraKind = 6;
    view.fieldOfView = 40;
    creator.SetView(false, &view);
    RecordPrefix* wood = creator.AddRecord(kTagSrfc);
    RecordPrefix* glass = creator.AddRecord(kTagSrfc);
    if (!wood || !glass)
        return 1;
    const uint32_t geometry = creator.CreateBuffer(load(wood, record::kId), 96);  // buffer 2
    if (void* bytes = creator.MapBuffer(geometry))
        std::memset(bytes, 0x3F, 96);
    store(wood, srfc_record::kGeometryBuffer, geometry);
    store(wood, srfc_record::kGeometryCapacity, 96u);
    store(wood, srfc_record::kGeometryChangeCount, 1u);
    creator.SetRecordFlags(wood, kRecordChanged);
    creator.SetRecordFlags(glass, kRecordChanged);
    creator.SetFlags(kHeaderChanged);

    const size_t mappingSize = size_t(kSlots + 1) * kBlockSize;
    const auto* mapping = static_cast<const uint8_t*>(creator.HeaderBlock());
    writeFile(corpus / "channel_creator" / "plugin_channel", std::vector<uint8_t>(mapping, mapping + mappingSize));

    std::vector<uint8_t> peer;
    appendChunk(peer, mapping, mappingSize);
    for (uint32_t id = 1; id <= geometry; ++id)
        appendChunk(peer, creator.MapBuffer(id), creator.MappedBufferSize(id));
    writeFile(corpus / "channel_peer" / "plugin_channel", peer);
    // Only the header block: a channel cut short of its slots.
    std::vector<uint8_t> headerOnly;
    appendChunk(headerOnly, mapping, kBlockSize);
    writeFile(corpus / "channel_peer" / "header_only", headerOnly);
    creator.Close();
    return 0;
}
