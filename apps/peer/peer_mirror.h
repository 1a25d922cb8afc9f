#pragma once
// The renderer's copy of a channel: every material with its texture and geometry,
// the camera and the statistics text, kept up to date the way a renderer would keep
// it. A record is read again only when its changed bit is set or its change count
// moved; inside a material record, the material fields are re-read when the revision
// or the 0x100 bit says so, the texture when the 0x200 bit, the stamp, the path or
// the buffer id says so, and the geometry when its change count or buffer id moved.
// Everything is copied out of shared memory through the decoders of
// mirror_decoders.h, so the mirror never points into a mapping and outlives it.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "link/live_connection.h"
#include "mirror_decoders.h"

namespace vantro::peer {

struct MirrorMaterial {
    uint32_t recordId = 0;
    uint32_t changeCount = 0;  // record change count when last read
    MaterialFields fields;
    Image texture;  // decoded texture; empty without one or when unreadable
    MeshData mesh;
};

// What one update read; every count is of records (materials, textures, geometry
// buffers) actually re-read, plus problems met (a refused buffer or texture).
struct MirrorUpdate {
    uint32_t materials = 0;
    uint32_t textures = 0;
    uint32_t geometries = 0;
    uint32_t removed = 0;
    uint64_t geometryBytes = 0;  // of the arrays in the geometry buffers re-read
    bool camera = false;
    bool statistics = false;
    std::vector<std::string> problems;  // "record=<id> <what>: <why>", one per problem
};

class PeerMirror {
public:
    // Reads what changed in an open connection. Call with the channel lock held and
    // before the changed bits are cleared. Buffers the mirror no longer uses are
    // unmapped here (CloseBuffer), so that the creator's dropped buffers go away.
    // Textures are only taken here (a buffer's bytes copied, a file's path noted):
    // decoding them is loadTextures' work, after the lock is given back.
    MirrorUpdate update(VantroAPI::LiveConnection& connection);

    // Decodes the textures the last update took and reports those it cannot read in
    // update.problems. Call without the channel lock, after update().
    void loadTextures(MirrorUpdate& update);

    // Forgets everything (the link ended); the connection's mappings are the
    // connection's to release.
    void clear();

    // Keyed by record id.
    const std::map<uint32_t, MirrorMaterial>& materials() const { return materials_; }
    // The last camera record read; nullopt before the first.
    const std::optional<CameraFields>& camera() const { return camera_; }
    const std::u16string& statistics() const { return statistics_; }

    size_t triangleCount() const;
    size_t texturedCount() const;

    // Applies one material record already copied out of the channel; map resolves a
    // buffer id to its bytes (empty span when it cannot be mapped). For the update
    // and for tests and fuzzing without a channel.
    using BufferMap = std::function<Bytes(uint32_t id)>;
    void applyMaterial(Bytes record, uint32_t recordFlags, const BufferMap& map, MirrorUpdate& update);

private:
    void takeTexture(uint32_t id, const MaterialFields& fields, const BufferMap& map, MirrorUpdate& update);
    void readCamera(const VantroAPI::RecordPrefix* record, MirrorUpdate& update);
    void readStatistics(VantroAPI::LiveConnection& connection, const VantroAPI::RecordPrefix* record,
                        MirrorUpdate& update);

    std::map<uint32_t, MirrorMaterial> materials_;
    std::optional<CameraFields> camera_;
    uint32_t cameraChangeCount_ = 0;
    std::u16string statistics_;
    uint32_t statisticsChangeCount_ = 0;
    uint32_t statisticsBuffer_ = 0;
    std::vector<uint32_t> unusedBuffers_;  // to unmap after the update
    struct PendingTexture {
        uint32_t recordId;
        std::vector<std::byte> bytes;  // a buffer's image, copied
        std::string path;              // or a file's path (empty for a buffer)
    };
    std::vector<PendingTexture> pendingTextures_;  // taken by update, decoded by loadTextures
};

}  // namespace vantro::peer
