#pragma once
// SceneOracle: what every material's geometry buffer must hold for a document, worked
// out from the rules alone with code of its own (none of src/scene is used):
//   - the objects the link mirrors: visible, undeleted, not points; block instances
//     expanded through their definitions with the placements multiplied (outer after
//     inner), computed in double in the document's own space;
//   - the material: object, layer, or (for "from parent") the outermost instance's;
//   - each mesh: faces with a corner out of range or on a non-finite vertex dropped,
//     quads split (a b c)(a c d), a closed mesh with inward normals reversed
//     ((c b a)(d c a)) with negated normals, normals from the vertices, else from the
//     faces (last face wins), else zero; placed normals moved by the inverse transpose
//     of the placement; non-finite numbers replaced (0, zero normal, (0, 1));
//   - the renderer's axes and metres: (x, y, z) -> (x, z, y) times the unit scale;
//   - texture coordinates (u, 1 - v) of the mesh's own set, else (0, 1);
//   - the buffer: meshes in the order they were (re-)added, each front copy with the
//     whole index list reversed, and open meshes followed by a back copy in stored
//     order with negated normals.
// Documents whose numbers are exact in f32 (small multiples of powers of two, unit
// scale 1 under blocks, placements made of +-1/0 and powers of two) give bytes equal
// to the scene's; others may differ in the last bit of a float (see closeEnough).
//
// The order of meshes follows the scene's: a mesh made later comes later. The oracle
// therefore keeps the order in which top-level objects were (re-)added.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class CRhinoDoc;
class CRhinoObject;
class MaterialManager;

namespace vantro::test {

struct ExpectedGeometry {
    uint32_t vertexCount = 0;
    uint32_t indexCount = 0;
    std::vector<uint8_t> bytes;  // the used part of the buffer; empty without geometry
};

class SceneOracle {
public:
    // materials maps a material-table index to its MaterialInfo id (FindByIndex); it
    // must have loaded doc.
    SceneOracle(const CRhinoDoc& doc, MaterialManager& materials, float unitScale);

    // The objects Load mirrors, in document order (replaces what was there).
    void LoadAll();
    // The object leaves the mirror (nothing when absent).
    void Remove(unsigned int serial);
    // The object is (re-)added after everything present.
    void Add(const CRhinoObject* object);

    // Material id -> expected buffer, for every material that has geometry.
    std::map<uint64_t, ExpectedGeometry> Expected() const;

private:
    struct Placed;
    void collect(const CRhinoObject* object, const CRhinoObject* top, const double xform[4][4], int depth,
                 std::vector<Placed>& out) const;
    int materialIndexOf(const CRhinoObject* object, const CRhinoObject* top) const;

    const CRhinoDoc& doc_;
    MaterialManager& materials_;
    double scale_;
    std::vector<const CRhinoObject*> order_;  // top-level objects in (re-)add order
};

// Differences between an expected buffer and the bytes read, as text (empty when
// equal). exact: byte for byte; otherwise floats may differ by a relative 1e-5
// (for documents with arbitrary placements) while counts and indices must match.
std::vector<std::string> compareGeometry(const ExpectedGeometry& expected, const std::vector<uint8_t>& actual,
                                         bool exact);

}  // namespace vantro::test
