#include "mesh_normals.h"

#include <cmath>

namespace vantro::peer {

namespace {

bool missing(const float* n) {
    const float length = n[0] * n[0] + n[1] * n[1] + n[2] * n[2];
    return !(length > 1e-12f) || !std::isfinite(length);
}

}  // namespace

size_t fillMissingNormals(MeshData& mesh) {
    const size_t vertices = mesh.vertexCount();
    std::vector<bool> needs(vertices);
    size_t count = 0;
    for (size_t v = 0; v < vertices; ++v) {
        needs[v] = missing(&mesh.normals[3 * v]);
        count += needs[v] ? 1 : 0;
    }
    if (count == 0)
        return 0;
    for (size_t v = 0; v < vertices; ++v) {
        if (needs[v])
            mesh.normals[3 * v] = mesh.normals[3 * v + 1] = mesh.normals[3 * v + 2] = 0;
    }
    const float* p = mesh.positions.data();
    for (size_t t = 0; t + 2 < mesh.indices.size(); t += 3) {
        const uint32_t a = mesh.indices[t], b = mesh.indices[t + 1], c = mesh.indices[t + 2];
        if (!needs[a] && !needs[b] && !needs[c])
            continue;
        const float u[3] = {p[3 * b] - p[3 * a], p[3 * b + 1] - p[3 * a + 1], p[3 * b + 2] - p[3 * a + 2]};
        const float w[3] = {p[3 * c] - p[3 * a], p[3 * c + 1] - p[3 * a + 1], p[3 * c + 2] - p[3 * a + 2]};
        const float n[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
        if (!std::isfinite(n[0] + n[1] + n[2]))
            continue;
        for (uint32_t v : {a, b, c}) {
            if (!needs[v])
                continue;
            for (int k = 0; k < 3; ++k)
                mesh.normals[3 * v + k] += n[k];
        }
    }
    for (size_t v = 0; v < vertices; ++v) {
        if (!needs[v])
            continue;
        float* n = &mesh.normals[3 * v];
        const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        for (int k = 0; k < 3; ++k)
            n[k] = length > 0 && std::isfinite(length) ? n[k] / length : 0;
    }
    return count;
}

}  // namespace vantro::peer
