#pragma once
// The "VIEW ..." lines velora-scene-reader prints for each camera record it reads,
// parsed for the camera tests, and the frame a viewport must give the renderer.

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <sstream>
#include <string>

#include "sdk/geometry/on_viewport.h"

namespace vantro::test {

struct SeenView {
    unsigned apply = 0, kind = 0;
    bool zero = false;
    float fov = 0, pos[3] = {}, dir[3] = {}, up[3] = {}, rows[16] = {};
};

// One line starting with "VIEW "; nothing when a field is missing or unreadable.
inline std::optional<SeenView> parseViewLine(const std::string& line) {
    // n comma-separated numbers after " key=".
    auto floats = [&line](const std::string& key, float* out, int n) {
        const size_t at = line.find(" " + key + "=");
        std::istringstream in(at == std::string::npos ? "" : line.substr(at + key.size() + 2));
        for (int i = 0; i < n; ++i)
            if ((i && in.get() != ',') || !(in >> out[i]))
                return false;
        return true;
    };
    SeenView v;
    int zero = 0;
    const size_t z = line.find(" zero=");
    if (std::sscanf(line.c_str(), "VIEW apply=%u kind=%u", &v.apply, &v.kind) != 2 || z == std::string::npos ||
        std::sscanf(line.c_str() + z, " zero=%d", &zero) != 1 || !floats("fov", &v.fov, 1) ||
        !floats("pos", v.pos, 3) || !floats("dir", v.dir, 3) || !floats("up", v.up, 3) || !floats("rows", v.rows, 16))
        return std::nullopt;
    v.zero = zero != 0;
    return v;
}

inline void expectNear3(const float* got, double x, double y, double z, double tolerance, const std::string& what) {
    EXPECT_NEAR(got[0], x, tolerance) << what;
    EXPECT_NEAR(got[1], y, tolerance) << what;
    EXPECT_NEAR(got[2], z, tolerance) << what;
}

// The camera of vp in the renderer's axes (y and z exchanged) and metres: rows 0-2
// the viewport's own right, up and minus back, row 3 and the position the location
// times scale, direction the back axis, up the camera's up normalised.
inline void expectFrame(const ON_Viewport& vp, double scale, const float* rows, const float* pos, const float* dir,
                        const float* up) {
    ON_3dVector x, y, z;
    ASSERT_TRUE(vp.GetCameraFrame(&x, &y, &z));
    const ON_3dPoint l = vp.CameraLocation() * scale;
    const ON_3dVector u = vp.CameraUp() * (1 / vp.CameraUp().Length());
    expectNear3(rows + 0, x.x, x.z, x.y, 1e-5, "row 0");
    expectNear3(rows + 4, y.x, y.z, y.y, 1e-5, "row 1");
    expectNear3(rows + 8, -z.x, -z.z, -z.y, 1e-5, "row 2");
    expectNear3(rows + 12, l.x, l.z, l.y, 1e-6 + 1e-4 * scale, "row 3");
    expectNear3(pos, l.x, l.z, l.y, 1e-6 + 1e-4 * scale, "position");
    expectNear3(dir, z.x, z.z, z.y, 1e-5, "direction");
    expectNear3(up, u.x, u.z, u.y, 1e-5, "up");
    EXPECT_EQ(rows[3] + rows[7] + rows[11], 0.0f);
    EXPECT_EQ(rows[15], 1.0f);
}

}  // namespace vantro::test
