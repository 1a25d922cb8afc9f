#pragma once
// Decoders for what the renderer keeps of the channel: the material half of an
// "SRFC" record, a geometry buffer, the camera and the statistics text, and a texture
// image. Every decoder takes the bytes as a span (a copy or the mapping itself) and
// bounds every count, id and offset by the span's size, never by a size or capacity
// field it reads: the other process may write anything. They allocate at most in
// proportion to the span, so a fuzzer can call them with any bytes.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/channel_layout.h"

namespace vantro::peer {

using Bytes = std::span<const std::byte>;

// What a renderer uses of a material record.
struct MaterialFields {
    uint32_t revision = 0;
    std::u16string name;
    int32_t type = 0;
    uint32_t diffuse = 0;  // 0xAARRGGBB as sent (0x00FFFFFF when a texture travels)
    float shine = 0;
    float opacity = 1;
    uint32_t textureStamp = 0;
    std::u16string texturePath;
    uint32_t textureBuffer = 0;
    uint32_t geometryChangeCount = 0;
    uint32_t geometryBuffer = 0;

    bool hasTexture() const { return !texturePath.empty() || textureBuffer != 0; }
};

// The material record in record (a slot, at least kSrfcRecordSize bytes); nullopt
// when it is shorter or not tagged "SRFC". Non-finite opacity or shine become 1 and 0.
std::optional<MaterialFields> decodeMaterial(Bytes record);

// One material's triangles as the geometry buffer carries them: positions (metres,
// renderer axes), normals and the first texture-coordinate set, three floats, three
// floats and two floats per vertex; three indices per triangle, each below the
// vertex count.
struct MeshData {
    std::vector<float> positions;
    std::vector<float> normals;
    std::vector<float> texCoords;
    std::vector<uint32_t> indices;

    size_t vertexCount() const { return positions.size() / 3; }
    size_t triangleCount() const { return indices.size() / 3; }
};

// Why a geometry buffer was refused; empty text when it was read.
struct GeometryError {
    std::string text;
    explicit operator bool() const { return !text.empty(); }
};

// Reads a geometry buffer into out (replacing its contents). Refuses (out left
// empty) a buffer shorter than its three count words, counts whose arrays do not fit
// in buffer, a set count of 0, an index count that is not a multiple of 3 and any
// index at or past the vertex count. Non-finite floats are kept (the renderer clips
// them); positions are never read past the span.
GeometryError decodeGeometry(Bytes buffer, MeshData& out);

// The camera payload of a "VIEW" record (at least kViewRecordSize bytes); nullopt
// when shorter or not tagged "VIEW".
struct CameraFields {
    uint32_t applyNow = 0;
    VantroAPI::ViewData view{};
};
std::optional<CameraFields> decodeCamera(Bytes record);

// UTF-16 text at the start of bytes, up to its terminator or the span's end.
std::u16string decodeText(Bytes bytes);

// An RGBA image, top row first.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;

    bool empty() const { return rgba.empty(); }
};

// Largest texture side the peer accepts; bigger images are refused rather than
// allocated on the other process's say-so.
constexpr int kMaxTextureSide = 8192;

// Decodes an image file held in bytes (BMP as the plug-in sends embedded bitmaps, or
// PNG/JPEG/TGA as texture files are); empty when the bytes are no image or it is
// larger than kMaxTextureSide on a side.
Image decodeImage(Bytes bytes);

// An uncompressed 32-bit image of the largest accepted size, with room for headers.
constexpr uint64_t kMaxTextureFileBytes = uint64_t(kMaxTextureSide) * kMaxTextureSide * 4 + (1u << 20);

// Reads and decodes an image file; empty when it cannot be read, is no regular file
// or is larger than kMaxTextureFileBytes. A path as the plug-in sends it has
// backslashes; on POSIX they are read as slashes.
Image loadImageFile(std::string_view path);

}  // namespace vantro::peer
