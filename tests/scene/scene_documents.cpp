#include "scene_documents.h"

#include <cmath>
#include <limits>
#include <memory>

#include "scene_oracle.h"
#include "scene_sync_fixture.h"
#include "scene_test_support.h"

namespace vantro::test {

namespace {

// A random multiple of 1/8 in [-range, range].
double eighth(std::mt19937& random, int range) {
    return double(int(random() % uint32_t(16 * range + 1)) - 8 * range) / 8.0;
}

// "<prefix>" followed by two letters naming k.
std::u16string nameOf(const char16_t* prefix, int k) {
    return prefix + std::u16string(1, char16_t(u'A' + k % 26)) + char16_t(u'a' + (k / 26) % 26);
}

ON_Mesh randomMesh(std::mt19937& random) {
    const double x = eighth(random, 40), y = eighth(random, 40), z = eighth(random, 40);
    const double w = 0.125 * (1 + random() % 40), h = 0.125 * (1 + random() % 40), d = 0.125 * (1 + random() % 40);
    switch (random() % 4) {
        case 0: return boxMesh({x, y, z}, {x + w, y + h, z + d});
        case 1: return boxMesh({x, y, z}, {x + w, y + h, z + d}, true);
        case 2: return gridMesh(1 + int(random() % 6), 8.0, z, random() % 2 == 0);
        default: {
            ON_Mesh grid = gridMesh(1 + int(random() % 3), 4.0, z);
            for (int i = 0; i < grid.VertexCount(); ++i)
                grid.SetVertexNormal(i, ON_3dVector(0, 0, i % 2 ? 1 : -0.5));
            return grid;
        }
    }
}

// An exact placement: a quarter turn, a scale of 1/2, 1 or 2, a translation in eighths.
ON_Xform randomPlacement(std::mt19937& random) {
    const double scales[3] = {0.5, 1.0, 2.0};
    ON_Xform x = quarterTurn(int(random() % 3), int(random() % 4));
    x = ON_Xform::DiagonalTransformation(scales[random() % 3]) * x;
    return ON_Xform::TranslationTransformation(eighth(random, 30), eighth(random, 30), eighth(random, 30)) * x;
}

ON_3dmObjectAttributes randomAttributes(std::mt19937& random, int layers, int materials) {
    const ON::object_material_source sources[3] = {ON::material_from_layer, ON::material_from_object,
                                                   ON::material_from_parent};
    return attributesOn(int(random() % uint32_t(layers)), sources[random() % 3],
                        int(random() % uint32_t(materials + 1)) - 1);
}

}  // namespace

ON_Xform quarterTurn(int axis, int quarters) {
    const int c[4] = {1, 0, -1, 0}, s[4] = {0, 1, 0, -1};
    const double co = c[quarters & 3], si = s[quarters & 3];
    const int a = (axis + 1) % 3, b = (axis + 2) % 3;  // the plane turned
    ON_Xform x;
    x.m_xform[a][a] = co, x.m_xform[a][b] = -si;
    x.m_xform[b][a] = si, x.m_xform[b][b] = co;
    return x;
}

void buildVariedDocument(CRhinoDoc& doc) {
    doc.SetUnitSystem(ON::LengthUnitSystem::Meters, false);
    const int wood = addMaterial(doc, u"Wood", 200, 120, 60);
    const int steel = addMaterial(doc, u"Steel", 90, 90, 100);
    const int plastic = addMaterial(doc, u"Plastic", 20, 200, 20);
    addMaterial(doc, u"Unused", 1, 2, 3);
    const int base = addLayer(doc, u"Base", wood);
    const int metal = addLayer(doc, u"Metal", steel);
    const int hidden = addLayer(doc, u"Hidden", plastic, false);
    addLayer(doc, u"Bare");

    addMeshObject(doc, boxMesh({0, 0, 0}, {1, 2, 3}), attributesOn(base));
    addMeshObject(doc, boxMesh({-2, 0, 0}, {-1, 1, 1}, true), attributesOn(base, ON::material_from_object, steel));
    addMeshObject(doc, gridMesh(3, 6, 0.5), attributesOn(metal));
    addMeshObject(doc, gridMesh(2, 4, 1.5, true), attributesOn(metal, ON::material_from_object, plastic));
    addMeshObject(doc, gridMesh(2, 4, -1), attributesOn(3));  // default material
    ON_3dmObjectAttributes hiddenMode = attributesOn(base);
    hiddenMode.SetMode(ON::hidden_object);
    addMeshObject(doc, boxMesh({5, 5, 5}, {6, 6, 6}), hiddenMode);
    addMeshObject(doc, boxMesh({5, 5, 5}, {6, 6, 6}), attributesOn(hidden));
    // A point with a mesh of its own: only an export sends points.
    auto point = std::make_unique<CRhinoObject>(ON::point_object, attributesOn(base));
    point->SetRenderMeshes({std::make_shared<ON_Mesh>(boxMesh({7, 7, 7}, {8, 8, 8}))});
    doc.AddObject(std::move(point));

    const int pair = addBlock(doc, u"Pair",
                              {{boxMesh({0, 0, 0}, {1, 1, 1}), attributesOn(base, ON::material_from_parent)},
                               {gridMesh(2, 2, 0.25), attributesOn(metal)}});
    ON_3dmObjectAttributes plasticInstance = attributesOn(base, ON::material_from_object, plastic);
    doc.AddInstanceObject(pair, ON_Xform::TranslationTransformation(4, 0, 0), &plasticInstance);
    const ON_Xform turned =
        ON_Xform::TranslationTransformation(0, 3, -2) * ON_Xform::DiagonalTransformation(2.0) * quarterTurn(2, 1);
    doc.AddInstanceObject(pair, turned);
    const int group = addNestedBlock(doc, u"Group",
                                     {{pair, ON_Xform::TranslationTransformation(0, 8, 0)},
                                      {pair, quarterTurn(0, 3) * ON_Xform::DiagonalTransformation(0.5)}});
    doc.AddInstanceObject(group, ON_Xform::TranslationTransformation(-10, 0, 4) * quarterTurn(0, 1));

    // Broken meshes carried as data: an index out of range, a NaN vertex, an empty mesh.
    CRhinoObject* broken = doc.AddObject(std::make_unique<CRhinoObject>(ON::brep_object, attributesOn(metal)));
    ON_Mesh bad = boxMesh({10, 0, 0}, {11, 1, 1});
    bad.SetTriangle(6, 0, 1, 42);
    bad.m_V[5] = ON_3fPoint(std::numeric_limits<float>::quiet_NaN(), 0, 0);
    broken->SetRenderMeshes({std::make_shared<ON_Mesh>(bad), std::make_shared<ON_Mesh>()});

    // Vertex normals of the wrong count (face normals stand in), a vertex no face uses.
    ON_Mesh stray = gridMesh(2, 2, 3, true);
    stray.m_N.Append(ON_3fVector(9, 9, 9));
    stray.SetTextureCoord(stray.AppendVertex(ON_3dPoint(1, 1, 5)), 0.5, 0.5);
    CRhinoObject* carrier = doc.AddObject(std::make_unique<CRhinoObject>(ON::brep_object, attributesOn(base)));
    carrier->SetRenderMeshes({std::make_shared<ON_Mesh>(stray)});

    // A brep whose meshes are built only when asked for.
    CRhinoObject* unmeshed = doc.AddObject(std::make_unique<CRhinoObject>(ON::brep_object, attributesOn(base)));
    unmeshed->SetRenderMeshes({std::make_shared<ON_Mesh>(boxMesh({12, 0, 0}, {13, 1, 2}))}, false);
}

void buildMillimetreDocument(CRhinoDoc& doc) {
    doc.SetUnitSystem(ON::LengthUnitSystem::Millimeters, false);
    const int clay = addMaterial(doc, u"Clay", 180, 90, 40);
    const int base = addLayer(doc, u"Base", clay);
    addMeshObject(doc, boxMesh({1, 2, 3}, {1000, 2000.5, 3000.25}), attributesOn(base));
    addMeshObject(doc, gridMesh(4, 250, 12.5), attributesOn(base));
    addMeshObject(doc, boxMesh({-7, -7, -7}, {7, 7, 7}, true), attributesOn(base));
}

void generateDocument(CRhinoDoc& doc, uint32_t seed, int materials, int objects) {
    std::mt19937 random(seed);
    doc.SetUnitSystem(ON::LengthUnitSystem::Meters, false);
    for (int m = 0; m < materials; ++m) {
        addMaterial(doc, nameOf(u"Generated", m).c_str(), int(random() % 256), int(random() % 256),
                    int(random() % 256));
    }
    const int layers = 4;
    for (int l = 0; l < layers; ++l)
        addLayer(doc, nameOf(u"Layer", l).c_str(), int(random() % uint32_t(materials + 1)) - 1);
    std::vector<int> blocks;
    for (int b = 0; b < 3; ++b) {
        std::vector<std::pair<ON_Mesh, ON_3dmObjectAttributes>> parts;
        for (int p = 0; p < 1 + int(random() % 3); ++p)
            parts.emplace_back(randomMesh(random), randomAttributes(random, layers, materials));
        blocks.push_back(addBlock(doc, nameOf(u"Block", b).c_str(), parts));
    }
    blocks.push_back(addNestedBlock(doc, u"Nest",
                                    {{blocks[0], randomPlacement(random)}, {blocks[1], randomPlacement(random)}},
                                    randomAttributes(random, layers, materials)));
    for (int o = 0; o < objects; ++o) {
        const ON_3dmObjectAttributes a = randomAttributes(random, layers, materials);
        if (random() % 5 == 0)
            doc.AddInstanceObject(blocks[random() % blocks.size()], randomPlacement(random), &a);
        else
            addMeshObject(doc, randomMesh(random), a);
    }
}

void generateLargeDocument(CRhinoDoc& doc, int materialCount, int trianglesPerMaterial) {
    doc.SetUnitSystem(ON::LengthUnitSystem::Meters, false);
    const int base = addLayer(doc, u"Base");
    // Closed boxes of n x n quads per side: about 2 triangles and 1 vertex per quad.
    const int meshesPerMaterial = 4;
    const int quadsPerMesh = trianglesPerMaterial / (2 * meshesPerMaterial);
    const int n = std::max(1, int(std::sqrt(double(quadsPerMesh) / 6.0)));
    for (int m = 0; m < materialCount; ++m) {
        const int material = addMaterial(doc, nameOf(u"Large", m).c_str(), m % 256, (m * 7) % 256, (m * 13) % 256);
        for (int k = 0; k < meshesPerMaterial; ++k) {
            ON_Mesh mesh;
            const double o = 3.0 * (m * meshesPerMaterial + k);
            for (int side = 0; side < 6; ++side) {
                const int axis = side / 2, first = mesh.VertexCount();
                const double out = side % 2 ? 1.0 : -1.0;
                for (int j = 0; j <= n; ++j)
                    for (int i = 0; i <= n; ++i) {
                        double p[3], nn[3] = {0, 0, 0};
                        p[axis] = side % 2, p[(axis + 1) % 3] = double(i) / n, p[(axis + 2) % 3] = double(j) / n;
                        nn[axis] = out;
                        const int v = mesh.AppendVertex(ON_3dPoint(o + p[0], p[1], p[2]));
                        mesh.SetVertexNormal(v, ON_3dVector(nn[0], nn[1], nn[2]));
                        mesh.SetTextureCoord(v, double(i) / n, double(j) / n);
                    }
                for (int j = 0; j < n; ++j)
                    for (int i = 0; i < n; ++i) {
                        const int a = first + j * (n + 1) + i;
                        side % 2 ? mesh.SetQuad(mesh.FaceCount(), a, a + 1, a + n + 2, a + n + 1)
                                 : mesh.SetQuad(mesh.FaceCount(), a, a + n + 1, a + n + 2, a + 1);
                    }
            }
            addMeshObject(doc, mesh, attributesOn(base, ON::material_from_object, material));
        }
    }
}

SceneEditor::SceneEditor(CRhinoDoc& doc, SceneSyncFixture& fixture, SceneOracle& oracle, uint32_t seed)
    : doc_(doc), fixture_(fixture), oracle_(oracle), random_(seed) {}

std::vector<const CRhinoObject*> SceneEditor::liveObjects() const {
    std::vector<const CRhinoObject*> live;
    for (const CRhinoObject* o : doc_.Objects())
        if (!o->IsDeleted() && !o->IsInstanceDefinitionGeometry())
            live.push_back(o);
    return live;
}

bool SceneEditor::apply(Edit edit) {
    if (!fixture_.scene.LockScene(50))
        return false;
    const auto live = liveObjects();
    if (live.empty())
        return true;
    const CRhinoObject* object = live[random_() % live.size()];
    const CRhinoObjRef ref(object);
    const CRhinoObject* readd = nullptr;  // what takes the object's place (or the object itself)
    bool removed = false, everything = false;
    auto anyMaterial = [&] { return int(random_() % uint32_t(doc_.m_material_table.MaterialCount() + 1)) - 1; };
    switch (edit) {
        case Edit::move:
            readd = doc_.TransformObject(
                ref, ON_Xform::TranslationTransformation(eighth(random_, 4), eighth(random_, 4), 0.0));
            break;
        case Edit::hide: readd = doc_.HideObject(ref) ? object : nullptr; break;
        case Edit::show: readd = doc_.ShowObject(ref) ? object : nullptr; break;
        case Edit::remove: removed = doc_.DeleteObject(ref, true, true); break;
        case Edit::replace: readd = doc_.ReplaceObject(ref, randomMesh(random_)); break;
        case Edit::objectMaterial: {
            ON_3dmObjectAttributes a = object->Attributes();
            a.SetMaterialSource(ON::material_from_object);
            a.m_material_index = anyMaterial();
            readd = doc_.ModifyObjectAttributes(ref, a, true) ? object : nullptr;
            break;
        }
        case Edit::layerMaterial: {
            const int index = int(random_() % uint32_t(doc_.m_layer_table.LayerCount()));
            ON_Layer layer = doc_.m_layer_table[index];
            layer.SetRenderMaterialIndex(anyMaterial());
            everything = doc_.m_layer_table.ModifyLayer(layer, index, true);
            break;
        }
        case Edit::modifyMaterial: {
            const int index = int(random_() % uint32_t(doc_.m_material_table.MaterialCount()));
            ON_Material material = doc_.m_material_table[index];
            material.SetDiffuse(ON_Color(int(random_() % 256), int(random_() % 256), int(random_() % 256)));
            everything = doc_.m_material_table.ModifyMaterial(material, index, true);
            if (everything)
                fixture_.materials.UpdateMaterial(doc_.m_material_table[index].RuntimeSerialNumber());
            break;
        }
    }
    if (removed || (readd && readd != object))
        fixture_.remove(oracle_, object);
    if (readd)
        fixture_.reAdd(oracle_, {readd});
    if (everything)
        fixture_.reAdd(oracle_, liveObjects());
    static const char* const names[kEditKinds] = {
        "move", "hide", "show", "delete", "replace", "object material", "layer material", "modify material"};
    if (removed || readd || everything)
        log += std::string(names[int(edit)]) + "\n";
    return true;
}

}  // namespace vantro::test
