#pragma once
// Documents for the scene's end-to-end tests and benchmarks, and edits applied to them;
// every number is exact in f32 so that the oracle's bytes equal the scene's.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "sdk/geometry/on_xform.h"
#include "sdk/document/rhino_doc.h"

namespace vantro::test {

class SceneOracle;
class SceneSyncFixture;

// A rotation by a multiple of 90 degrees about a world axis (0 x, 1 y, 2 z), exact.
ON_Xform quarterTurn(int axis, int quarters);

// Every kind of object the link mirrors and skips (every orientation and normal source,
// every material source, hidden objects and layers, points, nested blocks, broken
// meshes). Units: metres.
void buildVariedDocument(CRhinoDoc& doc);

// Boxes and grids in millimetres (no blocks).
void buildMillimetreDocument(CRhinoDoc& doc);

// A random document: `materials` materials, four layers, `objects` top-level objects
// (meshes and block instances, nested up to two levels). Units: metres.
void generateDocument(CRhinoDoc& doc, uint32_t seed, int materials, int objects);

// `materialCount` materials, each with closed meshes of about trianglesPerMaterial
// triangles in total.
void generateLargeDocument(CRhinoDoc& doc, int materialCount, int trianglesPerMaterial);

// Applies edits to a document and, through the fixture, to its scene and oracle the way
// the change tracking would (remove, re-add what changed), once LockScene(50) succeeds.
class SceneEditor {
public:
    SceneEditor(CRhinoDoc& doc, SceneSyncFixture& fixture, SceneOracle& oracle, uint32_t seed);

    enum class Edit { move, hide, show, remove, replace, objectMaterial, layerMaterial, modifyMaterial };
    static constexpr int kEditKinds = 8;

    // One edit of that kind on a random object; false when the scene could not be taken.
    bool apply(Edit edit);
    bool applyRandom() { return apply(Edit(random_() % kEditKinds)); }

    std::string log;  // one line per edit applied

private:
    std::vector<const CRhinoObject*> liveObjects() const;

    CRhinoDoc& doc_;
    SceneSyncFixture& fixture_;
    SceneOracle& oracle_;
    std::mt19937 random_;
};

}  // namespace vantro::test
