#include "io/document_meshing.h"

#include <cstring>
#include <map>
#include <optional>

#include "platform/parallel.h"
#include "sdk/io/document_format.h"
#include "io/document_parser.h"
#include "sdk/meshing/brep_mesher.h"
#include "sdk/meshing/subd_mesher.h"

namespace vantro::docio {
namespace {

std::shared_ptr<ON_Mesh> toOnMesh(const meshing::TriangleMesh& m) {
    static_assert(sizeof(ON_3fPoint) == 3 * sizeof(float) && sizeof(ON_3fVector) == 3 * sizeof(float) &&
                  sizeof(ON_2fPoint) == 2 * sizeof(float));
    auto mesh = std::make_shared<ON_Mesh>();
    const size_t n = m.vertexCount();
    mesh->m_V.vector().resize(n);
    std::memcpy(static_cast<void*>(mesh->m_V.vector().data()), m.vertices.data(), n * sizeof(ON_3fPoint));
    if (m.normals.size() == 3 * n) {
        mesh->m_N.vector().resize(n);
        std::memcpy(static_cast<void*>(mesh->m_N.vector().data()), m.normals.data(), n * sizeof(ON_3fVector));
    }
    if (m.uvs.size() == 2 * n) {
        mesh->m_T.vector().resize(n);
        std::memcpy(static_cast<void*>(mesh->m_T.vector().data()), m.uvs.data(), n * sizeof(ON_2fPoint));
    }
    auto& faces = mesh->m_F.vector();
    faces.resize(m.triangleCount());
    for (size_t t = 0; t < faces.size(); ++t) {
        const int32_t* tri = &m.triangles[3 * t];
        faces[t].vi[0] = tri[0];
        faces[t].vi[1] = tri[1];
        faces[t].vi[2] = faces[t].vi[3] = tri[2];
    }
    return mesh;
}

struct Outcome {
    std::vector<std::shared_ptr<ON_Mesh>> meshes;
    std::optional<std::string> problem;
};

Outcome meshBrepObject(const meshing::Brep& brep, const meshing::MeshSettings& settings) {
    Outcome out;
    const std::vector<meshing::FaceMeshResult> faces = meshing::meshBrep(brep, settings);
    size_t failed = 0;
    std::string first;
    for (size_t i = 0; i < faces.size(); ++i) {
        if (faces[i].ok) {
            out.meshes.push_back(toOnMesh(faces[i].mesh));
            continue;
        }
        if (failed++ == 0)
            first = "face " + std::to_string(i) + ": " + faces[i].error;
    }
    if (failed > 0) {
        out.problem =
            std::to_string(failed) + " of " + std::to_string(faces.size()) + " faces not meshed (" + first + ")";
    }
    return out;
}

Outcome meshSubDObject(const meshing::SubD& subd, const meshing::MeshSettings& settings) {
    Outcome out;
    meshing::SubDMeshResult r = meshing::meshSubD(subd, settings);
    if (r.ok)
        out.meshes.push_back(toOnMesh(r.mesh));
    else
        out.problem = "not meshed (" + r.error + ")";
    return out;
}

bool needsMeshing(const ObjectData& o) { return o.renderMeshes.empty() && (o.brep || o.subd); }

bool rendered(unsigned int type) {
    return type == ON::brep_object || type == ON::extrusion_object || type == ON::subd_object ||
           type == ON::mesh_object || type == ON::instance_reference || type == ON::surface_object;
}

void summarizeUnrendered(const DocumentData& d, std::vector<std::string>& warnings) {
    std::map<std::string, size_t> counts;
    for (const ObjectData& o : d.objects) {
        if (rendered(o.type))
            continue;
        const char* name = "other";
        for (const auto& w : kObjectTypeWords) {
            if (w.value == o.type)
                name = w.text.data();
        }
        ++counts[name];
    }
    if (counts.empty())
        return;
    std::string text = "not rendered (kinds without surfaces):";
    const char* separator = " ";
    for (const auto& [name, count] : counts) {
        text += separator + std::to_string(count) + " " + name;
        separator = ", ";
    }
    warnings.push_back(text);
}

}  // namespace

void meshDocumentObjects(DocumentData& d, std::vector<std::string>& warnings, bool summarize) {
    if (summarize)
        summarizeUnrendered(d, warnings);
    std::vector<size_t> todo;
    for (size_t i = 0; i < d.objects.size(); ++i) {
        if (needsMeshing(d.objects[i]))
            todo.push_back(i);
    }
    if (todo.empty())
        return;
    meshing::MeshSettings settings = d.meshSettings;
    settings.minimumTolerance = std::max(settings.minimumTolerance, d.absoluteTolerance);
    std::vector<Outcome> outcomes(todo.size());
    // Objects are independent and meshing dominates opening files without cached
    // meshes: one task per object.
    vantro::platform::parallelFor(0, todo.size(), [&](size_t k) {
        const ObjectData& o = d.objects[todo[k]];
        outcomes[k] = o.brep ? meshBrepObject(*o.brep, settings) : meshSubDObject(*o.subd, settings);
    });
    for (size_t k = 0; k < todo.size(); ++k) {
        ObjectData& o = d.objects[todo[k]];
        o.renderMeshes = std::move(outcomes[k].meshes);
        o.meshedByHost = !o.renderMeshes.empty();
        if (outcomes[k].problem) {
            warnings.push_back(entryLabel("object", todo[k], o.attributes.m_name, o.attributes.m_uuid) + ": " +
                               *outcomes[k].problem);
        }
    }
}

}  // namespace vantro::docio
