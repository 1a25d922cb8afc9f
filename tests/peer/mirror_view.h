#pragma once
// What the renderer shows of a document, reduced to what a test can predict from the
// document and read back from velora-peer: per material its triangles, colour,
// opacity and the bounds of its vertices (metres, the renderer's axes: y up), and the
// camera. Predictions (story_model.h) and the peer's outputs are both read into it.

#include <map>
#include <string>

namespace vantro::test {

struct Bounds {
    double lo[3] = {1e300, 1e300, 1e300};
    double hi[3] = {-1e300, -1e300, -1e300};
    void add(double x, double y, double z);
};

struct MaterialView {
    int triangles = 0;
    double diffuse[3] = {0, 0, 0};  // 0..1; white for a textured material
    double opacity = 1;
    Bounds bounds;
};

struct MirrorView {
    // Materials that carry triangles, by the name the renderer gets.
    std::map<std::string, MaterialView> materials;
    size_t materialCount = 0;  // every material record, with or without triangles
    size_t textured = 0;
    bool camera = false;
    double position[3] = {0, 0, 0};
    double direction[3] = {0, 0, 0};
};

// The ways the two differ, one per line; empty when they agree (within float and
// print rounding).
std::string differences(const MirrorView& expected, const MirrorView& actual);

// Reads the peer's --obj output (FILE and the .mtl beside it) and the camera of a
// channel summary line (its --dump JSON). False with why when a file cannot be read.
bool readObjMirror(const std::string& objPath, MirrorView& view, std::string& why);
void readSummaryCamera(const std::string& summaryJson, MirrorView& view);

}  // namespace vantro::test
