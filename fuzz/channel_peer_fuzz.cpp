// Fuzz target for the peer's side of the channel: attaching to a main mapping and
// decoding its header, records and the buffers they name (the channel summary and the
// renderer's mirror: materials, geometry, textures, camera, statistics), when every
// byte was written by another process. The input is
//   u16 L (little-endian), L bytes of main mapping (cut to what is there), then up to
//   four buffers, each a u16 length and that many bytes, created as buffers 1..4 of
//   the creator.
// The creator's process id in the header is set to ours so that buffer names resolve.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "channel_summary.h"
#include "fuzz_environment.h"
#include "json_writer.h"
#include "peer_mirror.h"
#include "link/channel_layout.h"
#include "link/live_connection.h"
#include "platform/process.h"
#include "platform/shared_memory.h"

using namespace VantroAPI;
using vantro::platform::SharedMemory;
using vantro::platform::ShmResult;

namespace {

struct Input {
    const uint8_t* at;
    size_t left;

    // The next little-endian u16 length and up to that many bytes.
    bool next(const uint8_t*& bytes, size_t& size) {
        if (left < 2)
            return false;
        size = std::min<size_t>(size_t(at[0] | at[1] << 8), left - 2);
        bytes = at + 2;
        at += 2 + size;
        left -= 2 + size;
        return true;
    }
};

bool makeMapping(std::u16string_view name, const uint8_t* bytes, size_t size, SharedMemory& out) {
    if (SharedMemory::create(name, std::max<size_t>(size, 1), out) != ShmResult::ok)
        return false;
    std::memcpy(out.data(), bytes, size);
    return true;
}

// What the renderer draws from must be whole, whatever it was given.
void checkMirror(const vantro::peer::PeerMirror& mirror) {
    for (const auto& [id, material] : mirror.materials()) {
        const vantro::peer::MeshData& mesh = material.mesh;
        if (mesh.positions.size() % 3 != 0 || mesh.normals.size() != mesh.positions.size() ||
            mesh.texCoords.size() * 3 != mesh.positions.size() * 2 || mesh.indices.size() % 3 != 0)
            std::abort();
        for (uint32_t index : mesh.indices)
            if (index >= mesh.vertexCount())
                std::abort();
        const vantro::peer::Image& image = material.texture;
        if (image.rgba.size() != size_t(image.width) * size_t(image.height) * 4)
            std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    vantro::fuzz::usePrivateEnvironment();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::u16string name = vantro::fuzz::connectionName("fuzz-peer");
    const uint32_t pid = vantro::platform::currentProcessId();
    Input input{data, size};
    const uint8_t* bytes = nullptr;
    size_t length = 0;
    if (!input.next(bytes, length))
        return 0;
    SharedMemory main;
    if (!makeMapping(mappingName(name), bytes, length, main))
        std::abort();  // our own name: only a leak from an earlier run can take it
    if (main.size() >= header::kCreatorPid.offset + 4)
        store(main.data(), header::kCreatorPid, pid);
    std::vector<SharedMemory> buffers;
    for (uint32_t id = 1; id <= 4 && input.next(bytes, length); ++id)
        if (!makeMapping(bufferName(pid, id), bytes, length, buffers.emplace_back()))
            std::abort();

    LiveConnection peer;
    if (peer.Open(name) == 0) {
        vantro::peer::JsonWriter json;
        vantro::peer::writeChannelSummary(peer, json);
        if (json.text().empty())
            std::abort();
        vantro::peer::PeerMirror mirror;
        vantro::peer::MirrorUpdate update = mirror.update(peer);
        mirror.loadTextures(update);
        checkMirror(mirror);
        std::vector<RecordPrefix*> records;
        peer.FindRecords(records, kTagSrfc, kRecordChanged, kRecordChanged);
        for (RecordPrefix* record : records)
            peer.ClearRecordFlags(record, kRecordChanged);
        peer.CountRecords(0, 0, 0);
        peer.Disconnect();
    }
    return 0;
}
