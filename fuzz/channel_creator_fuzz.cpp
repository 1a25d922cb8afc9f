// Fuzz target for the creator's side of the channel: everything the creator reads
// back from its own main mapping after a peer may have written any byte of it. The
// creator makes its channel as the plug-in does (the view and statistics records, a
// material record owning a texture buffer), the input then overwrites the mapping from
// its first byte (as far as it reaches), and the creator goes on with its usual
// operations. None may crash, and the creator's own buffer must stay writable.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz_environment.h"
#include "link/channel_layout.h"
#include "link/live_connection.h"

using namespace VantroAPI;

namespace {

constexpr uint32_t kSlots = 8;
constexpr uint32_t kMappingSize = (kSlots + 1) * kBlockSize;
constexpr uint32_t kTextureSize = 256;

uint32_t u32From(const uint8_t* data, size_t size, size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4 && at + i < size; ++i)
        v |= uint32_t(data[at + i]) << (8 * i);
    return v;
}

void writeOwnBuffer(LiveConnection& creator, uint32_t id) {
    if (void* memory = creator.MapBuffer(id)) {
        if (creator.MappedBufferSize(id) < kTextureSize)
            std::abort();
        std::memset(memory, 0x5A, kTextureSize);
    }
}

StatisticsMap statistics(size_t round) {
    StatisticsMap values;
    values[u"objects"] = StatisticValue{1, std::u16string(1 + round * 40, u'7')};
    return values;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    vantro::fuzz::usePrivateEnvironment();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::u16string name = vantro::fuzz::connectionName("fuzz-creator");
    LiveConnection creator;
    if (creator.Create(name, kSlots) != 0)
        std::abort();
    creator.SetStatistics(statistics(0));
    RecordPrefix* material = creator.AddRecord(kTagSrfc);
    if (!material)
        std::abort();
    const uint32_t texture = creator.CreateBuffer(load(material, record::kId), kTextureSize);
    writeOwnBuffer(creator, texture);

    // The peer's writes.
    std::memcpy(const_cast<void*>(creator.HeaderBlock()), data, std::min<size_t>(size, kMappingSize));

    // The creator's next rounds.
    for (size_t round = 1; round <= 2; ++round) {
        creator.AddRecord(kTagSrfc);
        std::vector<RecordPrefix*> records;
        creator.FindRecords(records, kTagSrfc, 0, 0);
        for (RecordPrefix* record : records) {
            creator.SetRecordFlags(record, kRecordChanged);
            creator.TestRecordFlags(record, kRecordChanged);
        }
        creator.CountRecords(kTagSrfc, kRecordChanged, 0);
        creator.FindRecord(u32From(data, size, round * 4));
        creator.SetStatistics(statistics(round));
        ViewData view{};
        creator.SetView(false, &view);
        creator.SetFlags(kHeaderChanged);
        creator.SetUpdateCount(uint32_t(round));
        creator.SetLabel(u"fuzz");
        creator.IsActive();
        writeOwnBuffer(creator, texture);
    }
    // Whatever ids the peer wrote, the creator never gives up a buffer it still uses.
    if (texture != 0 && creator.MapBuffer(texture) == nullptr)
        std::abort();
    creator.RemoveRecord(u32From(data, size, 12));
    creator.DestroyBuffer(texture);
    creator.Close();
    return 0;
}
