#include "obj_writer.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/utf.h"
#include "output_check.h"
#include "png_file.h"

namespace vantro::peer {

namespace {

std::string materialName(const MirrorMaterial& material) {
    std::string name = vantro::platform::toUtf8(material.fields.name);
    for (char& c : name) {
        if (static_cast<unsigned char>(c) <= ' ')
            c = '_';
    }
    return name.empty() ? "record-" + std::to_string(material.recordId) : name;
}

std::string stemOf(const std::string& path) {
    const std::filesystem::path p(path);
    return (p.parent_path() / p.stem()).string();
}

// The map_Kd entry of a material: a texture file's path as a POSIX path, or the
// PNG written for an in-memory image; empty without a texture.
std::string textureEntry(const MirrorMaterial& material, const std::string& objPath, std::string& error) {
    if (material.texture.empty())
        return {};
    if (material.fields.textureBuffer == 0) {
        std::string path = vantro::platform::toUtf8(material.fields.texturePath);
        for (char& c : path) {
            if (c == '\\')
                c = '/';
        }
        return path;
    }
    const std::string png = stemOf(objPath) + "-" + std::to_string(material.recordId) + ".png";
    if (!writePng(png, material.texture)) {
        error = "cannot write " + png;
        return {};
    }
    return std::filesystem::path(png).filename().string();
}

void writeMaterial(std::FILE* mtl, const MirrorMaterial& material, const std::string& texture) {
    const uint32_t diffuse = material.texture.empty() ? material.fields.diffuse : 0xFFFFFFu;
    std::fprintf(mtl, "newmtl %s\nKd %.4f %.4f %.4f\nd %.4f\nNs %.1f\nillum 2\n", materialName(material).c_str(),
                 double((diffuse >> 16) & 0xFF) / 255, double((diffuse >> 8) & 0xFF) / 255,
                 double(diffuse & 0xFF) / 255, double(material.fields.opacity), double(material.fields.shine) * 1000);
    if (!texture.empty())
        std::fprintf(mtl, "map_Kd %s\n", texture.c_str());
    std::fputc('\n', mtl);
}

void writeMesh(std::FILE* obj, const MirrorMaterial& material, size_t firstVertex) {
    const MeshData& mesh = material.mesh;
    std::fprintf(obj, "o %s\nusemtl %s\n", materialName(material).c_str(), materialName(material).c_str());
    const size_t n = mesh.vertexCount();
    for (size_t i = 0; i < n; ++i)
        std::fprintf(obj, "v %.7g %.7g %.7g\n", mesh.positions[3 * i], mesh.positions[3 * i + 1],
                     mesh.positions[3 * i + 2]);
    for (size_t i = 0; i < n; ++i)
        std::fprintf(obj, "vt %.7g %.7g\n", mesh.texCoords[2 * i], 1 - mesh.texCoords[2 * i + 1]);
    for (size_t i = 0; i < n; ++i)
        std::fprintf(obj, "vn %.7g %.7g %.7g\n", mesh.normals[3 * i], mesh.normals[3 * i + 1], mesh.normals[3 * i + 2]);
    for (size_t t = 0; t + 2 < mesh.indices.size(); t += 3) {
        const size_t a = mesh.indices[t] + firstVertex, b = mesh.indices[t + 1] + firstVertex,
                     c = mesh.indices[t + 2] + firstVertex;
        std::fprintf(obj, "f %zu/%zu/%zu %zu/%zu/%zu %zu/%zu/%zu\n", a, a, a, b, b, b, c, c, c);
    }
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

bool writeObj(const PeerMirror& mirror, const std::string& objPath, std::string& error) {
    const std::string mtlPath = stemOf(objPath) + ".mtl";
    errno = 0;
    File obj(std::fopen(objPath.c_str(), "w"));
    if (!obj) {
        error = "cannot write " + withReason(objPath);
        return false;
    }
    File mtl(std::fopen(mtlPath.c_str(), "w"));
    if (!mtl) {
        error = "cannot write " + withReason(mtlPath);
        return false;
    }
    std::fprintf(obj.get(), "# velora-peer mirror: %zu materials, %zu triangles\nmtllib %s\n",
                 mirror.materials().size(), mirror.triangleCount(),
                 std::filesystem::path(mtlPath).filename().string().c_str());
    size_t firstVertex = 1;  // OBJ counts from 1
    for (const auto& [id, material] : mirror.materials()) {
        writeMaterial(mtl.get(), material, textureEntry(material, objPath, error));
        if (material.mesh.indices.empty())
            continue;
        writeMesh(obj.get(), material, firstVertex);
        firstVertex += material.mesh.vertexCount();
    }
    const bool written = std::fflush(obj.get()) == 0 && std::fflush(mtl.get()) == 0 && !std::ferror(obj.get()) &&
                         !std::ferror(mtl.get());
    if (!written)
        error = "cannot write " + objPath;
    return written && error.empty();
}

}  // namespace vantro::peer
