// channel_bytes OUTDIR: builds one fixed channel -- header texts, a VIEW, the STAT
// record and its text buffer, three SRFC records (one removed again) with geometry
// buffers -- and writes the main mapping and every buffer to OUTDIR (main.bin,
// buffer-XXXXXXXX.bin). Built for Linux and for Windows, the two sets of files must
// be equal byte for byte: the layout is the contract a renderer on either system
// reads. The creator's process id and the lock owner are the only fields that differ
// between two runs; the dump writes them as 0.

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include "link/live_connection.h"
#include "platform/process.h"
#include "platform/shared_memory.h"
#include "platform/utf.h"

using namespace VantroAPI;

namespace {

bool writeFile(const std::string& path, const void* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    return static_cast<bool>(out.flush());
}

void fill(LiveConnection& connection) {
    connection.SetLabel(u"House \u00e9t\u00e9 \u20ac \U0001D11E");
    connection.SetPath1(u"C:\\Work\\house.3dm");
    connection.SetPath2(u"C:\\Work\\house.dae");
    connection.SetUserValue(0xA5C3u);

    ViewData view{};
    for (int i = 0; i < 16; ++i)
        view.viewMatrix[i] = static_cast<float>(i) * 0.25f - 1.5f;
    view.cameraKind = kCameraPerspective;
    view.fieldOfView = 39.6f;
    view.position[0] = 1.25f, view.position[1] = -2.5f, view.position[2] = 3.75f;
    view.direction[2] = 1.0f;
    view.up[1] = 1.0f;
    connection.SetView(false, &view);
    connection.SetStatistics({{u"name", {0, u"a b/\u00e9"}}, {u"size", {1, u"12"}}});

    uint32_t removed = 0;
    for (uint32_t n = 1; n <= 3; ++n) {
        RecordPrefix* record = connection.AddRecord(kTagSrfc);
        const uint32_t id = load(record, record::kId);
        auto* bytes = reinterpret_cast<std::byte*>(record);
        for (uint32_t at = kRecordPrefixSize; at < srfc_record::kGeometryChangeCount.offset; ++at)
            bytes[at] = static_cast<std::byte>((at * 7 + n) & 0xFF);
        const uint32_t size = 1000 * n + 3;
        const uint32_t buffer = connection.CreateBuffer(id, size);
        auto* data = static_cast<uint8_t*>(connection.MapBuffer(buffer));
        for (uint32_t i = 0; i < size; ++i)
            data[i] = static_cast<uint8_t>(i * n + 11);
        store(record, srfc_record::kGeometryChangeCount, n);
        store(record, srfc_record::kGeometryBuffer, buffer);
        store(record, srfc_record::kGeometryCapacity, size);
        connection.SetRecordFlags(record, kRecordChanged | (n << 8));
        if (n == 2)
            removed = id;
    }
    connection.RemoveRecord(removed);  // leaves a free slot between two records
    connection.SetFlags(kHeaderChanged);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: channel_bytes OUTDIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    LiveConnection connection;
    const std::u16string name =
        u"C:/vantro-bytes/house-" + vantro::platform::fromUtf8(std::to_string(vantro::platform::currentProcessId()));
    if (connection.Create(name, 8) != 0) {
        std::fprintf(stderr, "channel_bytes: cannot create the channel\n");
        return 1;
    }
    fill(connection);

    // The main mapping as another process opens it: its whole size, as the system has it.
    vantro::platform::SharedMemory other;
    if (vantro::platform::SharedMemory::open(mappingName(name), other) != vantro::platform::ShmResult::ok) {
        std::fprintf(stderr, "channel_bytes: cannot open the channel\n");
        return 1;
    }
    // The creator's size (an opener may see whole pages beyond it), bounded by the mapping.
    const size_t size = std::min<size_t>(load(other.data(), header::kTotalSize), other.size());
    std::string main(static_cast<const char*>(other.data()), size);
    other.close();
    for (Field<uint32_t> field : {header::kCreatorPid, header::kLockOwner})
        store(reinterpret_cast<std::byte*>(main.data()), field, uint32_t{0});
    bool ok = writeFile(dir + "/main.bin", main.data(), main.size());
    int buffers = 0;
    for (uint32_t id = 1; id < 64; ++id) {
        const void* data = connection.MapBuffer(id);
        if (!data)
            continue;
        char file[32];
        std::snprintf(file, sizeof file, "/buffer-%08X.bin", id);
        ok = writeFile(dir + file, data, connection.MappedBufferSize(id)) && ok;
        ++buffers;
    }
    std::printf("main %zu bytes, %d buffers\n", main.size(), buffers);
    connection.Close();
    return ok ? 0 : 1;
}
