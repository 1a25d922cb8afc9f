#pragma once
// SceneOracle: what every material's geometry buffer must hold for a document, worked
// out from the rules alone with code of its own (none of src/scene): visible, undeleted
// non-point objects, blocks expanded with placements multiplied (in double), the
// object's, layer's or outermost instance's material; faces with a bad corner dropped,
// quads split (a b c)(a c d), inward closed meshes reversed with negated normals,
// normals from vertices, else faces (last wins), else zero, moved by the inverse
// transpose; non-finite numbers replaced; renderer axes (x, z, y) times the unit
// scale; uvs (u, 1 - v) of the mesh's own set, else (0, 1); meshes in (re-)add order,
// each front copy with its index list reversed, open meshes followed by a back copy
// in stored order with negated normals. Documents whose numbers are exact in f32 give
// bytes equal to the scene's; others may differ in a float's last bit.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class CRhinoDoc;
class CRhinoObject;
class ON_Xform;
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
    void collect(const CRhinoObject* object, const CRhinoObject* top, const ON_Xform& xform, int depth,
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
