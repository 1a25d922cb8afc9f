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

// n comma-separated numbers after " key=" in line; false when any is missing.
inline bool readViewFloats(const std::string& line, const std::string& key, float* out, int n) {
    const size_t at = line.find(" " + key + "=");
    if (at == std::string::npos)
        return false;
    std::istringstream in(line.substr(at + key.size() + 2));
    for (int i = 0; i < n; ++i) {
        if (i)
            in.ignore(1);
        if (!(in >> out[i]))
            return false;
    }
    return true;
}

// One line starting with "VIEW "; nothing when a field is missing or unreadable.
inline std::optional<SeenView> parseViewLine(const std::string& line) {
    SeenView v;
    int zero = 0;
    if (std::sscanf(line.c_str(), "VIEW apply=%u kind=%u", &v.apply, &v.kind) != 2)
        return std::nullopt;
    const size_t z = line.find(" zero=");
    if (z == std::string::npos || std::sscanf(line.c_str() + z, " zero=%d", &zero) != 1)
        return std::nullopt;
    v.zero = zero != 0;
    if (!readViewFloats(line, "fov", &v.fov, 1) || !readViewFloats(line, "pos", v.pos, 3) ||
        !readViewFloats(line, "dir", v.dir, 3) || !readViewFloats(line, "up", v.up, 3) ||
        !readViewFloats(line, "rows", v.rows, 16))
        return std::nullopt;
    return v;
}

inline void expectNear3(const float* got, double x, double y, double z, double tolerance, const std::string& what) {
    EXPECT_NEAR(got[0], x, tolerance) << what;
    EXPECT_NEAR(got[1], y, tolerance) << what;
    EXPECT_NEAR(got[2], z, tolerance) << what;
}

}  // namespace vantro::test
