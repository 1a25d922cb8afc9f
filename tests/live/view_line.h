#pragma once
// The "VIEW ..." lines velora-scene-reader prints for each camera record it reads,
// parsed for the camera tests, and a three-component comparison for them.

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <sstream>
#include <string>

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

}  // namespace vantro::test
