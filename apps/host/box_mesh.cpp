#include "box_mesh.h"

#include <algorithm>

namespace vantro::host {

namespace {

struct Side {
    int corners[4];  // indices into the box's eight corners, counter-clockwise seen from outside
    ON_3dVector normal;
};

// Corner i has x from bit 0, y from bit 1, z from bit 2 (0: minimum, 1: maximum).
const Side kSides[6] = {
    {{0, 4, 6, 2}, {-1, 0, 0}}, {{1, 3, 7, 5}, {1, 0, 0}},  {{0, 1, 5, 4}, {0, -1, 0}},
    {{2, 6, 7, 3}, {0, 1, 0}},  {{0, 2, 3, 1}, {0, 0, -1}}, {{4, 5, 7, 6}, {0, 0, 1}},
};

ON_3dPoint corner(const ON_3dPoint& lo, const ON_3dPoint& hi, int i) {
    return {(i & 1) ? hi.x : lo.x, (i & 2) ? hi.y : lo.y, (i & 4) ? hi.z : lo.z};
}

void appendSide(ON_Mesh& mesh, const ON_3dPoint& lo, const ON_3dPoint& hi, const Side& side) {
    static constexpr double kUv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    const int first = mesh.VertexCount();
    for (int k = 0; k < 4; ++k) {
        const int v = mesh.AppendVertex(corner(lo, hi, side.corners[k]));
        mesh.SetVertexNormal(v, side.normal);
        mesh.SetTextureCoord(v, kUv[k][0], kUv[k][1]);
    }
    mesh.SetQuad(mesh.FaceCount(), first, first + 1, first + 2, first + 3);
}

void ordered(const ON_3dPoint& a, const ON_3dPoint& b, ON_3dPoint& lo, ON_3dPoint& hi) {
    lo = {std::min(a.x, b.x), std::min(a.y, b.y), std::min(a.z, b.z)};
    hi = {std::max(a.x, b.x), std::max(a.y, b.y), std::max(a.z, b.z)};
}

}  // namespace

ON_Mesh boxMesh(const ON_3dPoint& a, const ON_3dPoint& b) {
    ON_3dPoint lo, hi;
    ordered(a, b, lo, hi);
    ON_Mesh mesh;
    for (const Side& side : kSides)
        appendSide(mesh, lo, hi, side);
    mesh.ComputeFaceNormals();
    return mesh;
}

std::vector<std::shared_ptr<const ON_Mesh>> boxSideMeshes(const ON_3dPoint& a, const ON_3dPoint& b) {
    ON_3dPoint lo, hi;
    ordered(a, b, lo, hi);
    std::vector<std::shared_ptr<const ON_Mesh>> meshes;
    for (const Side& side : kSides) {
        auto mesh = std::make_shared<ON_Mesh>();
        appendSide(*mesh, lo, hi, side);
        mesh->ComputeFaceNormals();
        meshes.push_back(std::move(mesh));
    }
    return meshes;
}

}  // namespace vantro::host
