#include "sdk/meshing/subd_mesher.h"

#include <opensubdiv/far/primvarRefiner.h>
#include <opensubdiv/far/topologyDescriptor.h>
#include <opensubdiv/far/topologyRefinerFactory.h>

#include <cmath>
#include <memory>
#include <vector>

namespace vantro::meshing {
namespace {

using namespace OpenSubdiv;

// The interpolation interface the refiner asks of a vertex.
struct Point3 {
    float v[3] = {0, 0, 0};
    void Clear(void* = nullptr) { v[0] = v[1] = v[2] = 0; }
    void AddWithWeight(const Point3& p, float w) {
        v[0] += w * p.v[0];
        v[1] += w * p.v[1];
        v[2] += w * p.v[2];
    }
};

std::unique_ptr<Far::TopologyRefiner> makeRefiner(const SubD& s) {
    Far::TopologyDescriptor desc;
    desc.numVertices = static_cast<int>(s.vertices.size() / 3);
    desc.numFaces = static_cast<int>(s.faceCounts.size());
    desc.numVertsPerFace = s.faceCounts.data();
    desc.vertIndicesPerFace = s.faceVertices.data();
    // Creased edges of the modelling application's SubDs are sharp, not semi-sharp.
    const std::vector<float> creaseWeights(s.creases.size() / 2, Sdc::Crease::SHARPNESS_INFINITE);
    desc.numCreases = static_cast<int>(creaseWeights.size());
    desc.creaseVertexIndexPairs = s.creases.data();
    desc.creaseWeights = creaseWeights.data();
    const std::vector<float> cornerWeights(s.corners.size(), Sdc::Crease::SHARPNESS_INFINITE);
    desc.numCorners = static_cast<int>(cornerWeights.size());
    desc.cornerVertexIndices = s.corners.data();
    desc.cornerWeights = cornerWeights.data();

    Sdc::Options options;
    options.SetVtxBoundaryInterpolation(Sdc::Options::VTX_BOUNDARY_EDGE_AND_CORNER);
    using Factory = Far::TopologyRefinerFactory<Far::TopologyDescriptor>;
    return std::unique_ptr<Far::TopologyRefiner>(Factory::Create(desc, Factory::Options(Sdc::SCHEME_CATMARK, options)));
}

void setNormal(float* out, const Point3& du, const Point3& dv) {
    const double n[3] = {double{du.v[1]} * dv.v[2] - double{du.v[2]} * dv.v[1],
                         double{du.v[2]} * dv.v[0] - double{du.v[0]} * dv.v[2],
                         double{du.v[0]} * dv.v[1] - double{du.v[1]} * dv.v[0]};
    const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    for (int k = 0; k < 3; ++k)
        out[k] = len > 0 ? static_cast<float>(n[k] / len) : (k == 2 ? 1.0f : 0.0f);
}

}  // namespace

SubDMeshResult meshSubD(const SubD& subd, const MeshSettings& settings) {
    SubDMeshResult result;
    if (subd.faceCounts.empty()) {
        result.error = "the control net has no faces";
        return result;
    }
    std::unique_ptr<Far::TopologyRefiner> refiner = makeRefiner(subd);
    if (!refiner) {
        result.error = "the control net is not a valid subdivision topology";
        return result;
    }
    const int level = settings.subdLevelOrDefault();
    Far::TopologyRefiner::UniformOptions uniform(level);
    uniform.fullTopologyInLastLevel = true;  // the limit needs the last level's neighbourhoods
    refiner->RefineUniform(uniform);

    // Every level's vertices in one buffer, level after level.
    std::vector<Point3> buffer(static_cast<size_t>(refiner->GetNumVerticesTotal()));
    const size_t base = subd.vertices.size() / 3;
    for (size_t i = 0; i < base; ++i) {
        for (int k = 0; k < 3; ++k)
            buffer[i].v[k] = static_cast<float>(subd.vertices[3 * i + static_cast<size_t>(k)]);
    }
    Far::PrimvarRefiner primvar(*refiner);
    Point3* src = buffer.data();
    for (int l = 1; l <= level; ++l) {
        Point3* dst = src + refiner->GetLevel(l - 1).GetNumVertices();
        primvar.Interpolate(l, src, dst);
        src = dst;
    }
    const Far::TopologyLevel& last = refiner->GetLevel(level);
    const int n = last.GetNumVertices();
    std::vector<Point3> position(static_cast<size_t>(n)), du(static_cast<size_t>(n)), dv(static_cast<size_t>(n));
    primvar.Limit(src, position, du, dv);

    TriangleMesh& m = result.mesh;
    m.vertices.resize(3 * static_cast<size_t>(n));
    m.normals.resize(3 * static_cast<size_t>(n));
    for (size_t i = 0; i < static_cast<size_t>(n); ++i) {
        for (int k = 0; k < 3; ++k)
            m.vertices[3 * i + static_cast<size_t>(k)] = position[i].v[k];
        setNormal(&m.normals[3 * i], du[i], dv[i]);
    }
    for (int f = 0; f < last.GetNumFaces(); ++f) {
        const Far::ConstIndexArray v = last.GetFaceVertices(f);
        // After one level every face is a quad; a triangle fan covers any face.
        for (int k = 1; k + 1 < v.size(); ++k)
            m.triangles.insert(m.triangles.end(), {v[0], v[k], v[k + 1]});
    }
    result.ok = true;
    return result;
}

}  // namespace vantro::meshing
