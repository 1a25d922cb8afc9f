#pragma once
// The benchmarks' documents are built from one wavy grid: every object the same size,
// normals and texture coordinates on every vertex, like a render mesh.

#include <cmath>

#include "sdk/geometry/on_mesh.h"

namespace vantro::bench {

// grid x grid quads as 2 * grid * grid triangles; object moves it 200 units along x
// so objects do not overlap, shift moves it along y (an edit).
inline ON_Mesh gridMesh(int grid, int object, float shift = 0.0f) {
    ON_Mesh mesh;
    const int n = grid + 1;
    mesh.m_V.Reserve(n * n);
    mesh.m_N.Reserve(n * n);
    mesh.m_T.Reserve(n * n);
    mesh.m_F.Reserve(2 * grid * grid);
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const float x = static_cast<float>(i) * 0.37f + static_cast<float>(object) * 200.0f;
            const float y = static_cast<float>(j) * 0.41f;
            mesh.m_V.Append(ON_3fPoint(x, y + shift, std::sin(x * 0.1f) * std::cos(y * 0.07f) * 3.0f));
            mesh.m_N.Append(ON_3fVector(0.1f * std::sin(x), 0.1f * std::cos(y), 0.99f));
            mesh.m_T.Append(ON_2fPoint(static_cast<float>(i) / grid, static_cast<float>(j) / grid));
        }
    for (int j = 0; j < grid; ++j)
        for (int i = 0; i < grid; ++i) {
            const int a = j * n + i;
            ON_MeshFace f1, f2;
            f1.vi[0] = a, f1.vi[1] = a + 1, f1.vi[2] = f1.vi[3] = a + n + 1;
            f2.vi[0] = a, f2.vi[1] = a + n + 1, f2.vi[2] = f2.vi[3] = a + n;
            mesh.m_F.Append(f1);
            mesh.m_F.Append(f2);
        }
    return mesh;
}

}  // namespace vantro::bench
