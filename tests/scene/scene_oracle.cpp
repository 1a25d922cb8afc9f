#include "scene_oracle.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "materials/material_manager.h"
#include "sdk/document/rhino_doc.h"
#include "sdk/document/rhino_instance_definition_table.h"
#include "sdk/document/rhino_object.h"

namespace vantro::test {

namespace {

// Inverse transpose of the upper 3x3 part, acting on (n, 0).
ON_Xform normalMatrix(const ON_Xform& m) {
    ON_Xform out = m;
    for (int i = 0; i < 3; ++i)
        out.m_xform[i][3] = out.m_xform[3][i] = 0.0;
    out.m_xform[3][3] = 1.0;
    out.Invert();
    out.Transpose();
    return out;
}

template <class P>
bool finite(const P& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

template <class T>
void put(std::vector<uint8_t>& out, size_t word, T value) {
    std::memcpy(&out[4 * word], &value, 4);
}

// One mesh as the renderer must receive it (front side).
struct Converted {
    std::vector<float> positions, normals, uvs;
    std::vector<uint32_t> triangles;  // faces split, flipped when inward
    bool open = false;
};

bool convert(const ON_Mesh& mesh, const ON_Xform& placement, bool placed, double scale, Converted& out) {
    const auto& xform = placement.m_xform;
    const int v = mesh.VertexCount();
    std::vector<int> faceOf;  // usable faces
    for (int f = 0; f < mesh.FaceCount(); ++f) {
        const int* q = mesh.m_F[f].vi;
        bool ok = true;
        for (int c = 0; c < (q[2] == q[3] ? 3 : 4); ++c)
            ok = ok && q[c] >= 0 && q[c] < v && finite(mesh.m_V[q[c]]);
        if (ok)
            faceOf.push_back(f);
    }
    if (v == 0 || faceOf.empty())
        return false;
    const bool inward = mesh.SolidOrientation() == -1;
    out.open = !mesh.IsClosed();

    std::vector<ON_3fVector> normal(static_cast<size_t>(v));
    if (mesh.m_N.Count() == v) {
        for (int i = 0; i < v; ++i)
            normal[size_t(i)] = mesh.m_N[i];
    } else if (mesh.m_FN.Count() == mesh.FaceCount()) {
        for (int f : faceOf)
            for (int c = 0; c < (mesh.m_F[f].vi[2] == mesh.m_F[f].vi[3] ? 3 : 4); ++c)
                normal[size_t(mesh.m_F[f].vi[c])] = mesh.m_FN[f];
    }
    auto triangle = [&](int a, int b, int c) {
        inward ? out.triangles.insert(out.triangles.end(), {uint32_t(c), uint32_t(b), uint32_t(a)})
               : out.triangles.insert(out.triangles.end(), {uint32_t(a), uint32_t(b), uint32_t(c)});
    };
    for (int f : faceOf) {
        const int* q = mesh.m_F[f].vi;
        triangle(q[0], q[1], q[2]);
        if (q[2] != q[3])  // a quad: (a b c)(a c d)
            triangle(q[0], q[2], q[3]);
    }
    const ON_Xform normals = normalMatrix(placement);
    const auto& nm = normals.m_xform;
    const bool hasOwnCoordinates = mesh.m_T.Count() == v;
    for (int i = 0; i < v; ++i) {
        const ON_3fPoint p = finite(mesh.m_V[i]) ? mesh.m_V[i] : ON_3fPoint();
        double world[3];
        for (int r = 0; r < 3; ++r)
            world[r] = xform[r][0] * p.x + xform[r][1] * p.y + xform[r][2] * p.z + xform[r][3];
        out.positions.insert(out.positions.end(),
                             {float(world[0] * scale), float(world[2] * scale), float(world[1] * scale)});

        const ON_3fVector n = finite(normal[size_t(i)]) ? normal[size_t(i)] : ON_3fVector();
        const double sign = inward ? -1.0 : 1.0;
        double m[3] = {sign * n.x, sign * n.y, sign * n.z};
        if (placed) {
            double moved[3];
            for (int r = 0; r < 3; ++r)
                moved[r] = nm[r][0] * m[0] + nm[r][1] * m[1] + nm[r][2] * m[2] + nm[r][3] * 1.0;
            std::copy(moved, moved + 3, m);
        }
        out.normals.insert(out.normals.end(), {float(m[0]), float(m[2]), float(m[1])});

        float u = 0.0f, w = 1.0f;
        if (hasOwnCoordinates)
            u = mesh.m_T[i].x, w = float(1.0 - double(mesh.m_T[i].y));
        if (!std::isfinite(u) || !std::isfinite(w))
            u = 0.0f, w = 1.0f;
        out.uvs.insert(out.uvs.end(), {u, w});
    }
    return true;
}

}  // namespace

struct SceneOracle::Placed {
    uint64_t materialId;
    Converted mesh;
};

SceneOracle::SceneOracle(const CRhinoDoc& doc, MaterialManager& materials, float unitScale)
    : doc_(doc), materials_(materials), scale_(unitScale) {}

void SceneOracle::LoadAll() {
    order_.clear();
    for (const CRhinoObject* object : doc_.Objects())
        if (!object->IsDeleted() && !object->IsInstanceDefinitionGeometry() && !object->IsReference())
            order_.push_back(object);
}

void SceneOracle::Remove(unsigned int serial) {
    order_.erase(std::remove_if(order_.begin(), order_.end(),
                                [&](const CRhinoObject* o) { return o->RuntimeSerialNumber() == serial; }),
                 order_.end());
}

void SceneOracle::Add(const CRhinoObject* object) {
    Remove(object->RuntimeSerialNumber());
    order_.push_back(object);
}

int SceneOracle::materialIndexOf(const CRhinoObject* object, const CRhinoObject* top) const {
    const ON_3dmObjectAttributes* a = &object->Attributes();
    if (a->MaterialSource() == ON::material_from_parent && top != object)
        a = &top->Attributes();
    if (a->MaterialSource() == ON::material_from_object)
        return a->m_material_index;
    if (a->MaterialSource() != ON::material_from_layer && a->MaterialSource() != ON::material_from_parent)
        return -1;
    if (a->m_layer_index < 0 || a->m_layer_index >= doc_.m_layer_table.LayerCount())
        return -1;
    return doc_.m_layer_table[a->m_layer_index].RenderMaterialIndex();
}

void SceneOracle::collect(const CRhinoObject* object, const CRhinoObject* top, const ON_Xform& xform, int depth,
                          std::vector<Placed>& out) const {
    if (!object->IsVisible() || depth > 64)
        return;
    const ON::object_type type = object->ObjectType();
    if (type == ON::point_object || type == ON::pointset_object)
        return;
    if (type == ON::instance_reference) {
        const auto* instance = CRhinoInstanceObject::Cast(object);
        const CRhinoInstanceDefinition* definition = instance->InstanceDefinition();
        if (!definition)
            return;
        const ON_Xform combined = xform * instance->InstanceXform();  // the outer placement last
        for (int i = 0; i < definition->ObjectCount(); ++i)
            collect(definition->Object(i), top, combined, depth + 1, out);
        return;
    }
    const uint64_t materialId = uint64_t(materials_.FindByIndex(materialIndexOf(object, top)).id);
    const bool placed = object != top;
    for (const auto& mesh : object->RenderMeshes()) {
        Placed p{materialId, {}};
        if (convert(*mesh, xform, placed, scale_, p.mesh))
            out.push_back(std::move(p));
    }
}

std::map<uint64_t, ExpectedGeometry> SceneOracle::Expected() const {
    std::vector<Placed> all;
    for (const CRhinoObject* object : order_)
        collect(object, object, ON_Xform(), 0, all);

    std::map<uint64_t, std::vector<const Placed*>> byMaterial;
    for (const Placed& p : all)
        byMaterial[p.materialId].push_back(&p);
    std::map<uint64_t, ExpectedGeometry> result;
    for (const auto& [materialId, list] : byMaterial) {
        uint64_t v = 0, k = 0;
        for (const Placed* p : list) {
            const int copies = p->mesh.open ? 2 : 1;
            v += copies * p->mesh.positions.size() / 3;
            k += copies * p->mesh.triangles.size();
        }
        ExpectedGeometry& g = result[materialId];
        g.vertexCount = uint32_t(v);
        g.indexCount = uint32_t(k);
        g.bytes.assign(4 * (3 + 8 * v + k), 0);
        put(g.bytes, 0, uint32_t(v));
        put(g.bytes, 1, uint32_t(k));
        put(g.bytes, 2, 1);
        size_t vertex = 0, index = 0;
        for (const Placed* p : list) {
            const Converted& m = p->mesh;
            const size_t n = m.positions.size() / 3;
            for (int side = 0; side < (m.open ? 2 : 1); ++side) {
                const float nsign = side == 0 ? 1.0f : -1.0f;
                for (size_t i = 0; i < 3 * n; ++i) {
                    put(g.bytes, 3 + 3 * vertex + i, m.positions[i]);
                    put(g.bytes, 3 + 3 * v + 3 * vertex + i, side == 0 ? m.normals[i] : nsign * m.normals[i]);
                }
                for (size_t i = 0; i < 2 * n; ++i)
                    put(g.bytes, 3 + 6 * v + 2 * vertex + i, m.uvs[i]);
                const size_t t = m.triangles.size();
                for (size_t j = 0; j < t; ++j) {
                    const uint32_t source = side == 0 ? m.triangles[t - 1 - j] : m.triangles[j];
                    put(g.bytes, 3 + 8 * v + index + j, source + uint32_t(vertex));
                }
                vertex += n;
                index += t;
            }
        }
    }
    return result;
}

std::vector<std::string> compareGeometry(const ExpectedGeometry& expected, const std::vector<uint8_t>& actual,
                                         bool exact) {
    std::vector<std::string> differences;
    if (expected.bytes.size() != actual.size())
        return {"size " + std::to_string(actual.size()) + ", expected " + std::to_string(expected.bytes.size())};
    const size_t v = expected.vertexCount, floatsEnd = 3 + 8 * v;
    for (size_t w = 0; w < actual.size() / 4 && differences.size() < 8; ++w) {
        uint32_t a, e;
        float fa, fe;
        std::memcpy(&a, &actual[4 * w], 4);
        std::memcpy(&e, &expected.bytes[4 * w], 4);
        std::memcpy(&fa, &a, 4);
        std::memcpy(&fe, &e, 4);
        if (a == e ||
            (!exact && w >= 3 && w < floatsEnd && std::fabs(fa - fe) <= 1e-5f * std::max(1.0f, std::fabs(fe))))
            continue;
        const char* area = w < 3           ? "header"
                           : w < 3 + 3 * v ? "position"
                           : w < 3 + 6 * v ? "normal"
                           : w < floatsEnd ? "uv"
                                           : "index";
        differences.push_back(std::string("word ") + std::to_string(w) + " (" + area + "): " + std::to_string(a) +
                              " / " + std::to_string(fa) + ", expected " + std::to_string(e) + " / " +
                              std::to_string(fe));
    }
    return differences;
}

}  // namespace vantro::test
