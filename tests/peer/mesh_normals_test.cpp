// Vertices that arrive without a normal get one from their faces, facing the way the
// sender's winding says; vertices with a normal keep it.

#include <gtest/gtest.h>

#include <limits>

#include "mesh_normals.h"

namespace {

using namespace vantro::peer;

// The modeller's upward triangle (0,0,0) (1,0,0) (0,1,0) as sent: axes y and z
// exchanged and the index list reversed. Its face points up, +y in the renderer's
// axes. Vertex 1 came with a normal of its own, vertex 2 with a broken one.
TEST(FillMissingNormals, FromTheSendersWinding) {
    MeshData mesh;
    mesh.positions = {0, 0, 0, 1, 0, 0, 0, 0, 1};
    mesh.normals = {0, 0, 0, 1, 0, 0, std::numeric_limits<float>::quiet_NaN(), 0, 0};
    mesh.texCoords.assign(6, 0);
    mesh.indices = {2, 1, 0};
    EXPECT_EQ(fillMissingNormals(mesh), 2u);
    EXPECT_EQ(mesh.normals, (std::vector<float>{0, 1, 0, 1, 0, 0, 0, 1, 0}));
    EXPECT_EQ(fillMissingNormals(mesh), 0u);
}

// A vertex no triangle uses, or only degenerate ones, stays without a normal
// rather than getting a made-up direction.
TEST(FillMissingNormals, UnusedAndDegenerate) {
    MeshData mesh;
    mesh.positions = {0, 0, 0, 1, 0, 0, 2, 0, 0, 5, 5, 5};
    mesh.normals.assign(12, 0);
    mesh.texCoords.assign(8, 0);
    mesh.indices = {0, 1, 2};
    EXPECT_EQ(fillMissingNormals(mesh), 4u);
    EXPECT_EQ(mesh.normals, std::vector<float>(12, 0));
}

}  // namespace
