#include "mirror_decoders.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "link/srfc_layout.h"
#include "platform/file_read.h"

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_NO_STDIO
#define STBI_ONLY_BMP
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_TGA
#define STBI_MAX_DIMENSIONS 8192
#include <stb/stb_image.h>

namespace vantro::peer {

using namespace VantroAPI;

namespace {

float finiteOr(float value, float fallback) { return std::isfinite(value) ? value : fallback; }

uint32_t word(Bytes bytes, size_t index) {
    uint32_t value;
    std::memcpy(&value, bytes.data() + index * 4, 4);
    return value;
}

template <class T>
void copyWords(Bytes bytes, size_t firstWord, size_t count, std::vector<T>& out) {
    static_assert(sizeof(T) == 4);
    out.resize(count);
    if (count)
        std::memcpy(out.data(), bytes.data() + firstWord * 4, count * 4);
}

}  // namespace

std::optional<MaterialFields> decodeMaterial(Bytes record) {
    if (record.size() < kSrfcRecordSize || load(record.data(), record::kTag) != kTagSrfc)
        return std::nullopt;
    const void* at = record.data();
    MaterialFields out;
    out.revision = load(at, srfc::kRevision);
    out.name = loadText(at, srfc::kName);
    out.type = load(at, srfc::kType);
    out.diffuse = load(at, srfc::kDiffuse);
    out.shine = finiteOr(load(at, srfc::kShine), 0.0f);
    out.opacity = finiteOr(load(at, srfc::kOpacity), 1.0f);
    out.textureStamp = load(at, srfc::kTextureStamp);
    out.texturePath = loadText(at, srfc::kTexturePath);
    out.textureBuffer = load(at, srfc::kTextureBuffer);
    out.geometryChangeCount = load(at, srfc_record::kGeometryChangeCount);
    out.geometryBuffer = load(at, srfc_record::kGeometryBuffer);
    return out;
}

GeometryError decodeGeometry(Bytes buffer, MeshData& out) {
    out = MeshData{};
    const size_t words = buffer.size() / 4;
    if (words < 3)
        return {"buffer shorter than its counts"};
    const uint64_t vertices = word(buffer, 0), indices = word(buffer, 1), sets = word(buffer, 2);
    if (sets == 0)
        return {"no texture-coordinate set"};
    if (indices % 3 != 0)
        return {"index count not a multiple of 3"};
    // Checked one term at a time so that no product can overflow before it is bounded.
    const uint64_t room = words - 3;
    if (vertices > room / 6 || indices > room - 6 * vertices)
        return {"counts larger than the buffer"};
    const uint64_t left = room - 6 * vertices - indices;
    if (vertices != 0 && sets > left / (2 * vertices))
        return {"counts larger than the buffer"};
    const size_t uvWord = 3 + 6 * vertices, indexWord = uvWord + 2 * sets * vertices;
    MeshData mesh;
    copyWords(buffer, indexWord, indices, mesh.indices);
    for (uint32_t index : mesh.indices) {
        if (index >= vertices)
            return {"index past the vertex count"};
    }
    copyWords(buffer, 3, 3 * vertices, mesh.positions);
    copyWords(buffer, 3 + 3 * vertices, 3 * vertices, mesh.normals);
    copyWords(buffer, uvWord, 2 * vertices, mesh.texCoords);
    out = std::move(mesh);
    return {};
}

std::optional<CameraFields> decodeCamera(Bytes record) {
    if (record.size() < kViewRecordSize || load(record.data(), record::kTag) != kTagView)
        return std::nullopt;
    CameraFields out;
    out.applyNow = load(record.data(), view_record::kApplyNow);
    out.view = load(record.data(), view_record::kView);
    return out;
}

std::u16string decodeText(Bytes bytes) {
    std::u16string text;
    for (size_t offset = 0; offset + 2 <= bytes.size(); offset += 2) {
        char16_t unit;
        std::memcpy(&unit, bytes.data() + offset, 2);
        if (unit == 0)
            break;
        text.push_back(unit);
    }
    return text;
}

Image decodeImage(Bytes bytes) {
    Image image;
    if (bytes.empty() || bytes.size() > size_t(INT32_MAX))
        return image;
    const auto* data = reinterpret_cast<const stbi_uc*>(bytes.data());
    int width = 0, height = 0, channels = 0;
    // The BMP reader reports a top-down image's height with its sign.
    if (!stbi_info_from_memory(data, int(bytes.size()), &width, &height, &channels) || width <= 0 || height == 0 ||
        width > kMaxTextureSide || std::abs(height) > kMaxTextureSide)
        return image;
    stbi_uc* pixels = stbi_load_from_memory(data, int(bytes.size()), &width, &height, &channels, 4);
    if (!pixels)
        return image;
    image.width = width;
    image.height = height;
    image.rgba.assign(pixels, pixels + size_t(width) * size_t(height) * 4);
    stbi_image_free(pixels);
    return image;
}

Image loadImageFile(std::string_view path) {
    std::string local(path);
    for (char& c : local) {
        if (c == '\\')
            c = '/';
    }
    const std::optional<std::vector<std::byte>> bytes = vantro::platform::readRegularFile(local, kMaxTextureFileBytes);
    if (!bytes)
        return {};
    return decodeImage(*bytes);
}

}  // namespace vantro::peer
