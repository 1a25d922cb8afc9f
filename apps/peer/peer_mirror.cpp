#include "peer_mirror.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <set>

#include "link/srfc_layout.h"
#include "mesh_normals.h"
#include "platform/utf.h"

namespace vantro::peer {

using namespace VantroAPI;

namespace {

using Block = std::array<std::byte, kBlockSize>;

// A slot handed out by the connection is a whole block inside the mapping; copying it
// first gives the decoders one consistent picture of a record the other side may be
// rewriting.
Block copyBlock(const RecordPrefix* record) {
    Block block;
    std::memcpy(block.data(), record, kBlockSize);
    return block;
}

bool recordMoved(const Block& block, bool fresh, uint32_t seenChangeCount) {
    return fresh || (load(block.data(), record::kFlags) & kRecordChanged) != 0 ||
           load(block.data(), record::kChangeCount) != seenChangeCount;
}

std::string problem(uint32_t id, const std::string& text) { return "record=" + std::to_string(id) + " " + text; }

MeshData readGeometry(uint32_t buffer, const PeerMirror::BufferMap& map, uint32_t id, MirrorUpdate& update) {
    MeshData mesh;
    if (buffer == 0)
        return mesh;
    const Bytes bytes = map(buffer);
    if (bytes.empty()) {
        update.problems.push_back(problem(id, "geometry buffer: cannot be mapped"));
        return mesh;
    }
    if (const GeometryError error = decodeGeometry(bytes, mesh))
        update.problems.push_back(problem(id, "geometry buffer refused: " + error.text));
    fillMissingNormals(mesh);
    return mesh;
}

}  // namespace

void PeerMirror::applyMaterial(Bytes record, uint32_t recordFlags, const BufferMap& map, MirrorUpdate& update) {
    std::optional<MaterialFields> fields = decodeMaterial(record);
    if (!fields)
        return;
    const uint32_t id = load(record.data(), record::kId);
    const uint32_t changeCount = load(record.data(), record::kChangeCount);
    auto [it, fresh] = materials_.try_emplace(id);
    MirrorMaterial& material = it->second;
    if (!fresh && (recordFlags & kRecordChanged) == 0 && changeCount == material.changeCount)
        return;
    const MaterialFields old = std::move(material.fields);
    material.recordId = id;
    material.changeCount = changeCount;
    material.fields = std::move(*fields);
    const MaterialFields& now = material.fields;

    if (fresh || (recordFlags & srfc::kMaterialChanged) || now.revision != old.revision)
        ++update.materials;
    if (fresh || (recordFlags & srfc::kTextureChanged) || now.textureStamp != old.textureStamp ||
        now.texturePath != old.texturePath || now.textureBuffer != old.textureBuffer) {
        if (old.textureBuffer != 0 && old.textureBuffer != now.textureBuffer)
            unusedBuffers_.push_back(old.textureBuffer);
        material.texture = Image{};
        takeTexture(id, now, map, update);
        update.textures += now.hasTexture() || old.hasTexture() ? 1 : 0;
    }
    if (fresh || now.geometryChangeCount != old.geometryChangeCount || now.geometryBuffer != old.geometryBuffer) {
        if (old.geometryBuffer != 0 && old.geometryBuffer != now.geometryBuffer)
            unusedBuffers_.push_back(old.geometryBuffer);
        material.mesh = readGeometry(now.geometryBuffer, map, id, update);
        ++update.geometries;
        const MeshData& mesh = material.mesh;
        update.geometryBytes += sizeof(float) * (mesh.positions.size() + mesh.normals.size() + mesh.texCoords.size()) +
                                sizeof(uint32_t) * mesh.indices.size();
    }
}

void PeerMirror::takeTexture(uint32_t id, const MaterialFields& fields, const BufferMap& map, MirrorUpdate& update) {
    if (fields.textureBuffer != 0) {
        const Bytes bytes = map(fields.textureBuffer);
        if (bytes.empty()) {
            update.problems.push_back(problem(id, "texture buffer: cannot be mapped"));
            return;
        }
        pendingTextures_.push_back({id, std::vector<std::byte>(bytes.begin(), bytes.end()), {}});
    } else if (!fields.texturePath.empty()) {
        pendingTextures_.push_back({id, {}, vantro::platform::toUtf8(fields.texturePath)});
    }
}

void PeerMirror::loadTextures(MirrorUpdate& update) {
    for (PendingTexture& pending : pendingTextures_) {
        const auto it = materials_.find(pending.recordId);
        if (it == materials_.end())
            continue;
        const bool fromBuffer = pending.path.empty();
        it->second.texture = fromBuffer ? decodeImage(pending.bytes) : loadImageFile(pending.path);
        if (it->second.texture.empty())
            update.problems.push_back(
                problem(pending.recordId, fromBuffer ? "texture buffer: no image the peer can read"
                                                     : "texture file " + pending.path + ": cannot be read"));
    }
    pendingTextures_.clear();
}

void PeerMirror::readCamera(const RecordPrefix* record, MirrorUpdate& update) {
    const Block block = copyBlock(record);
    if (!recordMoved(block, !camera_, cameraChangeCount_))
        return;
    cameraChangeCount_ = load(block.data(), record::kChangeCount);
    camera_ = decodeCamera(block);
    update.camera = true;
}

void PeerMirror::readStatistics(LiveConnection& connection, const RecordPrefix* record, MirrorUpdate& update) {
    const Block block = copyBlock(record);
    if (!recordMoved(block, statisticsChangeCount_ == 0, statisticsChangeCount_))
        return;
    statisticsChangeCount_ = load(block.data(), record::kChangeCount);
    const uint32_t buffer = load(block.data(), stat_record::kTextBuffer);
    const uint32_t capacity = load(block.data(), stat_record::kTextCapacity);
    if (statisticsBuffer_ != 0 && statisticsBuffer_ != buffer)
        unusedBuffers_.push_back(statisticsBuffer_);
    statisticsBuffer_ = buffer;
    const void* bytes = buffer != 0 ? connection.MapBuffer(buffer) : nullptr;
    const size_t size = bytes ? std::min<size_t>(connection.MappedBufferSize(buffer), capacity) : 0;
    statistics_ = decodeText(Bytes(static_cast<const std::byte*>(bytes), size));
    update.statistics = true;
}

MirrorUpdate PeerMirror::update(LiveConnection& connection) {
    MirrorUpdate update;
    const BufferMap map = [&connection](uint32_t id) {
        const void* bytes = id != 0 ? connection.MapBuffer(id) : nullptr;
        return bytes ? Bytes(static_cast<const std::byte*>(bytes), connection.MappedBufferSize(id)) : Bytes{};
    };
    std::set<uint32_t> present;
    std::vector<RecordPrefix*> records;
    for (const RecordPrefix* record : connection.AllRecords(records)) {
        const uint32_t tag = load(record, record::kTag);
        if (tag == kTagSrfc) {
            const Block block = copyBlock(record);
            present.insert(load(block.data(), record::kId));
            applyMaterial(block, load(block.data(), record::kFlags), map, update);
        } else if (tag == kTagView) {
            readCamera(record, update);
        } else if (tag == kTagStat) {
            readStatistics(connection, record, update);
        }
    }
    for (auto it = materials_.begin(); it != materials_.end();) {
        if (present.count(it->first)) {
            ++it;
            continue;
        }
        unusedBuffers_.push_back(it->second.fields.textureBuffer);
        unusedBuffers_.push_back(it->second.fields.geometryBuffer);
        it = materials_.erase(it);
        ++update.removed;
    }
    for (uint32_t id : unusedBuffers_)
        connection.CloseBuffer(id);
    unusedBuffers_.clear();
    return update;
}

void PeerMirror::clear() {
    materials_.clear();
    camera_.reset();
    cameraChangeCount_ = 0;
    statistics_.clear();
    statisticsChangeCount_ = 0;
    statisticsBuffer_ = 0;
    unusedBuffers_.clear();
    pendingTextures_.clear();
}

size_t PeerMirror::triangleCount() const {
    size_t count = 0;
    for (const auto& [id, material] : materials_)
        count += material.mesh.triangleCount();
    return count;
}

size_t PeerMirror::texturedCount() const {
    return std::count_if(materials_.begin(), materials_.end(),
                         [](const auto& entry) { return !entry.second.texture.empty(); });
}

}  // namespace vantro::peer
