#include "sdk/meshing/brep_mesher.h"

#include <BRepBuilderAPI_MakeEdge.hxx>
#include <BRepBuilderAPI_MakeFace.hxx>
#include <BRepBuilderAPI_MakeVertex.hxx>
#include <BRepBuilderAPI_MakeWire.hxx>
#include <BRepLib.hxx>
#include <BRepMesh_IncrementalMesh.hxx>
#include <BRep_Builder.hxx>
#include <BRep_Tool.hxx>
#include <GeomLProp_SLProps.hxx>
#include <IMeshTools_Parameters.hxx>
#include <Geom2d_BSplineCurve.hxx>
#include <Geom_BSplineCurve.hxx>
#include <Geom_BSplineSurface.hxx>
#include <Poly_Triangulation.hxx>
#include <ShapeAnalysis_Surface.hxx>
#include <ShapeFix_Face.hxx>
#include <ShapeFix_Wire.hxx>
#include <Standard_Failure.hxx>
#include <TColStd_Array1OfInteger.hxx>
#include <TColStd_Array1OfReal.hxx>
#include <TColStd_Array2OfReal.hxx>
#include <TColgp_Array1OfPnt.hxx>
#include <TColgp_Array1OfPnt2d.hxx>
#include <TColgp_Array2OfPnt.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Face.hxx>
#include <TopoDS_Vertex.hxx>
#include <TopoDS_Wire.hxx>
#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <optional>
#include <string>

#include "surface_domain.h"
#include "surface_refinement.h"

namespace vantro::meshing {
namespace {

// A knot vector in the file's convention as OpenCASCADE wants it: distinct knots
// with multiplicities, the two superfluous end knots put back.
struct Knots {
    std::vector<double> values;
    std::vector<int> mults;
};

Knots occtKnots(const std::vector<double>& fileKnots) {
    std::vector<double> full;
    full.reserve(fileKnots.size() + 2);
    full.push_back(fileKnots.front());
    full.insert(full.end(), fileKnots.begin(), fileKnots.end());
    full.push_back(fileKnots.back());
    Knots k;
    for (const double x : full) {
        if (!k.values.empty() && x == k.values.back()) {
            ++k.mults.back();
        } else {
            k.values.push_back(x);
            k.mults.push_back(1);
        }
    }
    return k;
}

TColStd_Array1OfReal realArray(const std::vector<double>& v) {
    TColStd_Array1OfReal a(1, static_cast<int>(v.size()));
    for (size_t i = 0; i < v.size(); ++i)
        a(static_cast<int>(i) + 1) = v[i];
    return a;
}

TColStd_Array1OfInteger intArray(const std::vector<int>& v) {
    TColStd_Array1OfInteger a(1, static_cast<int>(v.size()));
    for (size_t i = 0; i < v.size(); ++i)
        a(static_cast<int>(i) + 1) = v[i];
    return a;
}

Handle(Geom_BSplineSurface) occtSurface(const NurbsSurface& s) {
    const int nu = s.count[0];
    const int nv = s.count[1];
    TColgp_Array2OfPnt poles(1, nu, 1, nv);
    TColStd_Array2OfReal weights(1, nu, 1, nv);
    for (int i = 0; i < nu; ++i) {
        for (int j = 0; j < nv; ++j) {
            const double* p = &s.points[4 * (static_cast<size_t>(i) * nv + j)];
            poles(i + 1, j + 1) = gp_Pnt(p[0], p[1], p[2]);
            weights(i + 1, j + 1) = p[3];
        }
    }
    const Knots ku = occtKnots(s.knots[0]);
    const Knots kv = occtKnots(s.knots[1]);
    return new Geom_BSplineSurface(poles, weights, realArray(ku.values), realArray(kv.values), intArray(ku.mults),
                                   intArray(kv.mults), s.degree[0], s.degree[1]);
}

Handle(Geom_BSplineCurve) occtCurve(const NurbsCurve& c) {
    const int n = static_cast<int>(c.points.size() / 4);
    TColgp_Array1OfPnt poles(1, n);
    TColStd_Array1OfReal weights(1, n);
    for (int i = 0; i < n; ++i) {
        const double* p = &c.points[4 * static_cast<size_t>(i)];
        poles(i + 1) = gp_Pnt(p[0], p[1], p[2]);
        weights(i + 1) = p[3];
    }
    const Knots k = occtKnots(c.knots);
    return new Geom_BSplineCurve(poles, weights, realArray(k.values), intArray(k.mults), c.degree);
}

// The face's surface with what is needed to put 3D points on it.
struct FaceSurface {
    Handle(Geom_BSplineSurface) surface;
    Handle(ShapeAnalysis_Surface) analysis;
    double tolerance = 0;  // the mesh tolerance: trims follow their edges this closely
    std::optional<SurfaceDomain> domain;
};

// One trim's image in the surface's parameters: points in loop direction.
using UvPolyline = std::vector<gp_Pnt2d>;

// Parameters of the 3D edge, subdivided until the surface point at the middle of each
// parameter-space chord lies within the tolerance of the edge: the trim rebuilt on the
// surface then follows the edge as closely as the mesh must.
void refine(const FaceSurface& fs, const Handle(Geom_Curve) & curve, double t0, const gp_Pnt2d& uv0, double t1,
            const gp_Pnt2d& uv1, int depth, std::vector<std::pair<double, gp_Pnt2d>>& out) {
    const double tm = 0.5 * (t0 + t1);
    const gp_Pnt pm = curve->Value(tm);
    const gp_Pnt2d chordMid(0.5 * (uv0.X() + uv1.X()), 0.5 * (uv0.Y() + uv1.Y()));
    const bool close = fs.surface->Value(chordMid.X(), chordMid.Y()).Distance(pm) <= 0.5 * fs.tolerance;
    if (close || depth >= 12) {
        out.emplace_back(t1, uv1);
        return;
    }
    const gp_Pnt2d uvm = fs.analysis->NextValueOfUV(uv0, pm, 0.01 * fs.tolerance);
    refine(fs, curve, t0, uv0, tm, uvm, depth + 1, out);
    refine(fs, curve, tm, uvm, t1, uv1, depth + 1, out);
}

// The trim's points along its edge, in trim direction, starting from start (the
// previous point of the loop, for choosing the right side of a seam).
UvPolyline trimPolyline(const FaceSurface& fs, const Handle(Geom_Curve) & curve, bool reversed, const gp_Pnt2d* start) {
    constexpr int kSeeds = 8;  // enough that the refinement sees every bend
    double a = curve->FirstParameter();
    double b = curve->LastParameter();
    if (reversed)
        std::swap(a, b);
    const double precision = 0.01 * fs.tolerance;
    std::vector<std::pair<double, gp_Pnt2d>> samples;
    gp_Pnt2d uv = start ? fs.analysis->NextValueOfUV(*start, curve->Value(a), precision)
                        : fs.analysis->ValueOfUV(curve->Value(a), precision);
    samples.emplace_back(a, uv);
    for (int i = 1; i <= kSeeds; ++i) {
        const double t = a + (b - a) * i / kSeeds;
        const gp_Pnt2d next = fs.analysis->NextValueOfUV(samples.back().second, curve->Value(t), precision);
        refine(fs, curve, samples.back().first, samples.back().second, t, next, 0, samples);
    }
    UvPolyline out;
    out.reserve(samples.size());
    for (const auto& s : samples)
        out.push_back(s.second);
    fs.domain->settle(out, start);
    return out;
}

// The first point of a loop, for the side of a seam it starts on: the middle of its
// first real trim projected without a hint (a point inside the edge is rarely on a
// seam), walked back to the start and settled from the middle. On a seam the library
// answers either side whatever the hint, so a trim that runs along a seam before it
// leaves takes its side from where it leaves, not from the walk's last step.
gp_Pnt2d loopStart(const FaceSurface& fs, const Handle(Geom_Curve) & curve, bool reversed) {
    double a = curve->FirstParameter();
    double b = curve->LastParameter();
    if (reversed)
        std::swap(a, b);
    const double precision = 0.01 * fs.tolerance;
    constexpr int kSteps = 8;
    UvPolyline walk{fs.analysis->ValueOfUV(curve->Value(0.5 * (a + b)), precision)};
    for (int i = kSteps - 1; i >= 0; --i) {
        const double t = a + 0.5 * (b - a) * i / kSteps;
        walk.push_back(fs.analysis->NextValueOfUV(walk.back(), curve->Value(t), precision));
    }
    fs.domain->settle(walk, nullptr);
    return walk.back();
}

Handle(Geom2d_BSplineCurve) polylineCurve(const UvPolyline& points) {
    const int n = static_cast<int>(points.size());
    TColgp_Array1OfPnt2d poles(1, n);
    TColStd_Array1OfReal knots(1, n);
    TColStd_Array1OfInteger mults(1, n);
    for (int i = 0; i < n; ++i) {
        poles(i + 1) = points[static_cast<size_t>(i)];
        knots(i + 1) = i;
        mults(i + 1) = (i == 0 || i == n - 1) ? 2 : 1;
    }
    return new Geom2d_BSplineCurve(poles, knots, mults, 1);
}

// Drops points that repeat their predecessor (a zero-length span breaks the curve).
UvPolyline withoutRepeats(const UvPolyline& in) {
    UvPolyline out;
    for (const gp_Pnt2d& p : in) {
        if (out.empty() || out.back().Distance(p) > 1e-12)
            out.push_back(p);
    }
    return out;
}

UvPolyline shifted(const UvPolyline& points, const gp_Vec2d& by) {
    UvPolyline out;
    out.reserve(points.size());
    for (const gp_Pnt2d& p : points)
        out.push_back(p.Translated(by));
    return out;
}

gp_XY meanOf(const UvPolyline& points) {
    gp_XY sum(0, 0);
    for (const gp_Pnt2d& p : points)
        sum += p.XY();
    return sum / static_cast<double>(points.size());
}

// A piece of a loop: a trim along an edge, or a straight joint between trims.
struct Piece {
    UvPolyline points;
    int edge = -1;  // the brep edge it runs along; -1: a joint
};

// Junctions between trims where the loop leaps across a closed direction's whole
// domain: a trim put on the wrong side of a seam.
size_t seamJumps(const FaceSurface& fs, const std::vector<Piece>& trims) {
    double u0 = 0, u1 = 0, v0 = 0, v1 = 0;
    fs.surface->Bounds(u0, u1, v0, v1);
    size_t jumps = 0;
    for (size_t i = 0; i < trims.size(); ++i) {
        const gp_Pnt2d& end = trims[i].points.back();
        const gp_Pnt2d& next = trims[(i + 1) % trims.size()].points.front();
        int along = 0;
        if (fs.domain->onPole(end, along) && fs.domain->onPole(next, along))
            continue;
        jumps += (fs.domain->closed(0) && std::abs(end.X() - next.X()) > 0.5 * (u1 - u0)) ||
                 (fs.domain->closed(1) && std::abs(end.Y() - next.Y()) > 0.5 * (v1 - v0));
    }
    return jumps;
}

// A loop's trims in order, the first one starting at start.
std::vector<Piece> loopTrims(const FaceSurface& fs, const Brep& brep, const BrepLoop& loop,
                             std::vector<Handle(Geom_Curve)>& edgeCurves, std::map<int, UvPolyline>& trimmed,
                             gp_Pnt2d previous) {
    std::vector<Piece> trims;
    for (size_t t = 0; t < loop.trims.size(); t += 2) {
        const int edge = loop.trims[t];
        if (edge < 0)
            continue;
        Handle(Geom_Curve)& curve = edgeCurves[static_cast<size_t>(edge)];
        if (curve.IsNull())
            curve = occtCurve(brep.edges[static_cast<size_t>(edge)]);
        const bool reversed = loop.trims[t + 1] != 0;
        UvPolyline points = trimPolyline(fs, curve, reversed, &previous);
        // An edge met twice on one face is a seam: its second trim lies on the other
        // side of the domain, which projection cannot tell from the first.
        const auto before = trimmed.find(edge);
        if (before != trimmed.end()) {
            const gp_Vec2d across = fs.domain->acrossSeam(points);
            if (across.Magnitude() > 0 && across.IsEqual(fs.domain->acrossSeam(before->second), 1e-12, 1e-12)) {
                points = shifted(points, across);
            }
        }
        trimmed.emplace(edge, points);
        trims.push_back({std::move(points), edge});
        previous = trims.back().points.back();
    }
    return trims;
}

// A loop's pieces: each trim's polyline and, where the next piece does not start
// where one ends (a singular trim, a small gap), a straight piece between them.
std::vector<Piece> loopPieces(const FaceSurface& fs, const Brep& brep, const BrepLoop& loop,
                              std::vector<Handle(Geom_Curve)>& edgeCurves, std::map<int, UvPolyline>& trimmed) {
    size_t first = 0;
    while (first < loop.trims.size() && loop.trims[first] < 0)
        first += 2;
    if (first >= loop.trims.size())
        return {};
    Handle(Geom_Curve)& firstCurve = edgeCurves[static_cast<size_t>(loop.trims[first])];
    if (firstCurve.IsNull())
        firstCurve = occtCurve(brep.edges[static_cast<size_t>(loop.trims[first])]);
    const gp_Pnt2d start = loopStart(fs, firstCurve, loop.trims[first + 1] != 0);
    std::map<int, UvPolyline> trimmedBefore = trimmed;
    std::vector<Piece> trims = loopTrims(fs, brep, loop, edgeCurves, trimmed, start);
    // A loop that starts on a seam may have started on the wrong side of it: it then
    // jumps across the domain somewhere. Started on the other side, it may not.
    const gp_Vec2d across = fs.domain->acrossSeam(trims.front().points);
    if (across.Magnitude() > 0 && seamJumps(fs, trims) > 0) {
        std::map<int, UvPolyline> otherTrimmed = trimmedBefore;
        std::vector<Piece> other = loopTrims(fs, brep, loop, edgeCurves, otherTrimmed, start.Translated(across));
        if (seamJumps(fs, other) < seamJumps(fs, trims)) {
            trims = std::move(other);
            trimmed = std::move(otherTrimmed);
        }
    }
    // Close every junction: a piece ends exactly where the next begins.
    std::vector<Piece> pieces;
    const double gap = 1e-9;
    for (size_t i = 0; i < trims.size(); ++i) {
        Piece piece = trims[i];
        const gp_Pnt2d& next = trims[(i + 1) % trims.size()].points.front();
        const gp_Pnt endPoint = fs.surface->Value(piece.points.back().X(), piece.points.back().Y());
        const gp_Pnt nextPoint = fs.surface->Value(next.X(), next.Y());
        const bool sameIn3d = endPoint.Distance(nextPoint) <= fs.tolerance;
        // A real gap, or the same 3D point at two parameters (a pole): a joint piece.
        if (piece.points.back().Distance(next) > gap && (!sameIn3d || piece.points.size() > 2)) {
            piece.points = withoutRepeats(piece.points);
            const gp_Pnt2d end = piece.points.back();
            pieces.push_back(std::move(piece));
            pieces.push_back({withoutRepeats({end, next}), -1});
            continue;
        }
        piece.points.back() = next;
        piece.points = withoutRepeats(piece.points);
        pieces.push_back(std::move(piece));
    }
    std::erase_if(pieces, [](const Piece& p) { return p.points.size() < 2; });
    return pieces;
}

// Edges made so far for a face, by brep edge: a trim along an edge met before (a
// seam: the same edge on both sides of the domain) reuses its edge with a second
// parameter curve, as the library wants seams.
struct FaceEdges {
    struct Made {
        TopoDS_Edge edge;
        UvPolyline points;
    };
    std::map<int, Made> byEdge;
};

TopoDS_Wire loopWire(const FaceSurface& fs, const std::vector<Piece>& pieces, FaceEdges& made) {
    BRep_Builder builder;
    // Corners at the same 3D point share a vertex: a seam or a pole gives one point
    // two parameters, and an edge closed in 3D must start and end at one vertex.
    std::vector<TopoDS_Vertex> corners;
    std::vector<gp_Pnt> cornerPoints;
    for (const Piece& piece : pieces) {
        const gp_Pnt p = fs.surface->Value(piece.points.front().X(), piece.points.front().Y());
        size_t same = 0;
        while (same < cornerPoints.size() && cornerPoints[same].Distance(p) > 0.1 * fs.tolerance)
            ++same;
        if (same < cornerPoints.size()) {
            corners.push_back(corners[same]);
            builder.UpdateVertex(corners.back(),
                                 std::max(BRep_Tool::Tolerance(corners.back()), cornerPoints[same].Distance(p)));
        } else {
            corners.push_back(BRepBuilderAPI_MakeVertex(p).Vertex());
        }
        cornerPoints.push_back(p);
    }
    TopoDS_Wire wire;
    builder.MakeWire(wire);
    for (size_t i = 0; i < pieces.size(); ++i) {
        const UvPolyline& points = pieces[i].points;
        const auto seen = made.byEdge.find(pieces[i].edge);
        if (pieces[i].edge >= 0 && seen != made.byEdge.end()) {
            // Second use of an edge: the same edge reversed, with its first parameter
            // curve moved to where this trim lies.
            const FaceEdges::Made& first = seen->second;
            const gp_Vec2d by(meanOf(points) - meanOf(first.points));
            if (by.Magnitude() > 1e-9) {
                builder.UpdateEdge(first.edge, polylineCurve(first.points), polylineCurve(shifted(first.points, by)),
                                   fs.surface, TopLoc_Location(), BRep_Tool::Tolerance(first.edge));
            }
            builder.Add(wire, first.edge.Reversed());
            continue;
        }
        const TopoDS_Vertex& v1 = corners[i];
        const TopoDS_Vertex& v2 = corners[(i + 1) % corners.size()];
        Handle(Geom2d_BSplineCurve) c2d = polylineCurve(points);
        BRepBuilderAPI_MakeEdge make(c2d, fs.surface, v1, v2, c2d->FirstParameter(), c2d->LastParameter());
        if (!make.IsDone()) {
            throw Standard_Failure(("a trim could not be rebuilt on its surface (error " +
                                    std::to_string(make.Error()) + ", " + std::to_string(points.size()) + " points)")
                                       .c_str());
        }
        TopoDS_Edge edge = make.Edge();
        const gp_Pnt a = fs.surface->Value(points.front().X(), points.front().Y());
        const gp_Pnt b = fs.surface->Value(points.back().X(), points.back().Y());
        const gp_Pnt m = fs.surface->Value(points[points.size() / 2].X(), points[points.size() / 2].Y());
        if (a.Distance(b) <= fs.tolerance && a.Distance(m) <= fs.tolerance) {
            builder.Degenerated(edge, Standard_True);
        } else {
            BRepLib::BuildCurves3d(edge);
        }
        if (pieces[i].edge >= 0)
            made.byEdge[pieces[i].edge] = {edge, points};
        builder.Add(wire, edge);
    }
    wire.Closed(Standard_True);
    return wire;
}

// A loop that runs only along the sides of the surface's domain bounds the whole
// surface: the face is built from the surface itself, whose seams and poles the
// library knows better than trims rebuilt from 3D edges can say.
bool onDomainBoundary(const FaceSurface& fs, const std::vector<Piece>& pieces) {
    double u0 = 0, u1 = 0, v0 = 0, v1 = 0;
    fs.surface->Bounds(u0, u1, v0, v1);
    const double eu = 1e-6 * (u1 - u0);
    const double ev = 1e-6 * (v1 - v0);
    for (const Piece& piece : pieces) {
        for (const gp_Pnt2d& p : piece.points) {
            const bool onSide = std::abs(p.X() - u0) <= eu || std::abs(p.X() - u1) <= eu ||
                                std::abs(p.Y() - v0) <= ev || std::abs(p.Y() - v1) <= ev;
            if (!onSide)
                return false;
        }
    }
    return true;
}

TopoDS_Face trimmedFace(const FaceSurface& fs, const Brep& brep, const BrepFace& face) {
    std::vector<Handle(Geom_Curve)> edgeCurves(brep.edges.size());
    std::vector<std::vector<Piece>> loops;
    FaceEdges made;
    std::map<int, UvPolyline> trimmed;
    int outer = -1;
    for (const BrepLoop& loop : face.loops) {
        std::vector<Piece> pieces = loopPieces(fs, brep, loop, edgeCurves, trimmed);
        if (pieces.empty())
            continue;
        if (loop.outer && outer < 0)
            outer = static_cast<int>(loops.size());
        loops.push_back(std::move(pieces));
    }
    if (outer < 0)
        outer = 0;
    TopoDS_Face result;
    if (loops.empty() || onDomainBoundary(fs, loops[static_cast<size_t>(outer)])) {
        result = BRepBuilderAPI_MakeFace(fs.surface, Precision::Confusion()).Face();
        for (size_t i = 0; i < loops.size(); ++i) {
            if (static_cast<int>(i) == outer)
                continue;
            BRepBuilderAPI_MakeFace withHole(result, loopWire(fs, loops[i], made));
            if (!withHole.IsDone())
                throw Standard_Failure("a hole could not be cut into the face");
            result = withHole.Face();
        }
    } else {
        BRepBuilderAPI_MakeFace make(fs.surface, loopWire(fs, loops[static_cast<size_t>(outer)], made), Standard_True);
        for (size_t i = 0; i < loops.size(); ++i) {
            if (static_cast<int>(i) != outer)
                make.Add(loopWire(fs, loops[i], made));
        }
        if (!make.IsDone())
            throw Standard_Failure("the trimmed face could not be built");
        result = make.Face();
    }
    if (loops.size() == 1 && onDomainBoundary(fs, loops.front()))
        return result;
    // Loops of either winding: the outer one is made outer and holes holes. Only that:
    // the full repair looks for self-intersections between every pair of trim
    // polylines, which costs seconds per face and finds nothing in valid files.
    ShapeFix_Face fix(result);
    fix.SetPrecision(fs.tolerance * 0.1);
    fix.FixWireTool()->FixSelfIntersectionMode() = 0;
    fix.FixIntersectingWiresMode() = 0;
    fix.Perform();
    return fix.Face();
}

void appendNormal(TriangleMesh& m, const gp_Dir& n) {
    m.normals.push_back(static_cast<float>(n.X()));
    m.normals.push_back(static_cast<float>(n.Y()));
    m.normals.push_back(static_cast<float>(n.Z()));
}

// Normals where the surface has none (poles, collapsed corners): the average of the
// triangles around the vertex.
void fillMissingNormals(TriangleMesh& m, const std::vector<bool>& missing) {
    std::vector<double> sum(m.vertices.size(), 0.0);
    for (size_t t = 0; t < m.triangles.size(); t += 3) {
        const float* a = &m.vertices[3 * static_cast<size_t>(m.triangles[t])];
        const float* b = &m.vertices[3 * static_cast<size_t>(m.triangles[t + 1])];
        const float* c = &m.vertices[3 * static_cast<size_t>(m.triangles[t + 2])];
        const gp_Vec n = gp_Vec(gp_Pnt(a[0], a[1], a[2]), gp_Pnt(b[0], b[1], b[2]))
                             .Crossed(gp_Vec(gp_Pnt(a[0], a[1], a[2]), gp_Pnt(c[0], c[1], c[2])));
        for (int k = 0; k < 3; ++k) {
            const size_t v = static_cast<size_t>(m.triangles[t + static_cast<size_t>(k)]);
            sum[3 * v] += n.X();
            sum[3 * v + 1] += n.Y();
            sum[3 * v + 2] += n.Z();
        }
    }
    for (size_t v = 0; v < missing.size(); ++v) {
        if (!missing[v])
            continue;
        const double len = std::hypot(sum[3 * v], sum[3 * v + 1], sum[3 * v + 2]);
        for (int k = 0; k < 3; ++k) {
            m.normals[3 * v + static_cast<size_t>(k)] =
                len > 0 ? static_cast<float>(sum[3 * v + static_cast<size_t>(k)] / len) : (k == 2 ? 1.0f : 0.0f);
        }
    }
}

// Triangles wound to agree with the normals: which way the library winds them
// depends on how the face ended up oriented, so the mesh is asked, not assumed.
void windWithNormals(TriangleMesh& m) {
    double agreement = 0;
    for (size_t t = 0; t < m.triangles.size(); t += 3) {
        const size_t ia = static_cast<size_t>(m.triangles[t]);
        const float* a = &m.vertices[3 * ia];
        const float* b = &m.vertices[3 * static_cast<size_t>(m.triangles[t + 1])];
        const float* c = &m.vertices[3 * static_cast<size_t>(m.triangles[t + 2])];
        const gp_Vec n = gp_Vec(gp_Pnt(a[0], a[1], a[2]), gp_Pnt(b[0], b[1], b[2]))
                             .Crossed(gp_Vec(gp_Pnt(a[0], a[1], a[2]), gp_Pnt(c[0], c[1], c[2])));
        agreement += n.X() * m.normals[3 * ia] + n.Y() * m.normals[3 * ia + 1] + n.Z() * m.normals[3 * ia + 2];
    }
    if (agreement >= 0)
        return;
    for (size_t t = 0; t < m.triangles.size(); t += 3)
        std::swap(m.triangles[t + 1], m.triangles[t + 2]);
}

// The library's triangulation, in the surface's own frame with every point's parameters.
SurfaceTriangulation triangulationOf(const FaceSurface& fs, const Poly_Triangulation& tri) {
    SurfaceTriangulation t;
    const int n = tri.NbNodes();
    t.points.reserve(static_cast<size_t>(n));
    t.uvs.reserve(static_cast<size_t>(n));
    for (int i = 1; i <= n; ++i) {
        t.points.push_back(tri.Node(i));
        t.uvs.push_back(tri.HasUVNodes() ? tri.UVNode(i) : fs.analysis->ValueOfUV(tri.Node(i), fs.tolerance));
    }
    t.triangles.reserve(3 * static_cast<size_t>(tri.NbTriangles()));
    for (int i = 1; i <= tri.NbTriangles(); ++i) {
        int a = 0, b = 0, c = 0;
        tri.Triangle(i).Get(a, b, c);
        t.triangles.insert(t.triangles.end(), {a - 1, b - 1, c - 1});
    }
    return t;
}

TriangleMesh extractMesh(const FaceSurface& fs, const TopoDS_Face& face, bool reversed) {
    TopLoc_Location location;
    const Handle(Poly_Triangulation) tri = BRep_Tool::Triangulation(face, location);
    if (tri.IsNull() || tri->NbTriangles() == 0)
        throw Standard_Failure("the mesher gave no triangles");
    SurfaceTriangulation t = triangulationOf(fs, *tri);
    refineToSurface({fs.surface, fs.analysis, fs.tolerance}, t);
    double u0 = 0, u1 = 0, v0 = 0, v1 = 0;
    fs.surface->Bounds(u0, u1, v0, v1);
    TriangleMesh m;
    std::vector<bool> missing(t.points.size(), false);
    for (size_t i = 0; i < t.points.size(); ++i) {
        const gp_Pnt p = t.points[i].Transformed(location.Transformation());
        m.vertices.insert(m.vertices.end(),
                          {static_cast<float>(p.X()), static_cast<float>(p.Y()), static_cast<float>(p.Z())});
        const gp_Pnt2d& uv = t.uvs[i];
        m.uvs.push_back(static_cast<float>((uv.X() - u0) / (u1 - u0)));
        m.uvs.push_back(static_cast<float>((uv.Y() - v0) / (v1 - v0)));
        GeomLProp_SLProps props(fs.surface, uv.X(), uv.Y(), 1, Precision::Confusion());
        if (props.IsNormalDefined()) {
            appendNormal(m, reversed ? props.Normal().Reversed() : props.Normal());
        } else {
            missing[i] = true;
            appendNormal(m, gp_Dir(0, 0, 1));
        }
    }
    m.triangles = std::move(t.triangles);
    // Averaged normals need the winding first; wind by the defined ones.
    windWithNormals(m);
    if (std::find(missing.begin(), missing.end(), true) != missing.end())
        fillMissingNormals(m, missing);
    return m;
}

// The face built the library's own way: the 3D edges joined into wires on the
// surface, and the shape fixer projecting them to parameter curves (seams and poles
// included). Slower than trimmedFace, used where that one gives no plausible face.
TopoDS_Face projectedFace(const FaceSurface& fs, const Brep& brep, const BrepFace& face) {
    BRep_Builder builder;
    TopoDS_Face result;
    builder.MakeFace(result, fs.surface, Precision::Confusion());
    for (const BrepLoop& loop : face.loops) {
        TopoDS_Wire wire;
        builder.MakeWire(wire);
        for (size_t t = 0; t < loop.trims.size(); t += 2) {
            if (loop.trims[t] < 0)
                continue;  // the fixer puts back collapsed edges itself
            TopoDS_Edge edge =
                BRepBuilderAPI_MakeEdge(occtCurve(brep.edges[static_cast<size_t>(loop.trims[t])])).Edge();
            if (loop.trims[t + 1] != 0)
                edge.Reverse();
            builder.Add(wire, edge);
        }
        builder.Add(result, wire);
    }
    ShapeFix_Face fix(result);
    fix.SetPrecision(fs.tolerance * 0.1);
    fix.SetMaxTolerance(fs.tolerance);
    fix.FixWireTool()->FixSelfIntersectionMode() = 0;
    fix.FixIntersectingWiresMode() = 0;
    fix.Perform();
    return fix.Face();
}

// Whether a mesh covers its trims: every edge of the face's loops lies within the
// mesh's bounding box (with the tolerance). A wrong side chosen at a seam leaves a
// mesh of a sliver that fails this.
bool coversTrims(const TriangleMesh& m, const Brep& brep, const BrepFace& face, double tolerance) {
    if (m.triangles.empty())
        return false;
    double lo[3] = {1e300, 1e300, 1e300};
    double hi[3] = {-1e300, -1e300, -1e300};
    // The box of the triangles, not of the nodes: a face built wrong can keep every
    // boundary node and give one triangle among them.
    for (const int v : m.triangles) {
        for (size_t k = 0; k < 3; ++k) {
            const double x = m.vertices[3 * static_cast<size_t>(v) + k];
            lo[k] = std::min(lo[k], x);
            hi[k] = std::max(hi[k], x);
        }
    }
    const double slack = 2 * tolerance;
    for (const BrepLoop& loop : face.loops) {
        for (size_t t = 0; t < loop.trims.size(); t += 2) {
            if (loop.trims[t] < 0)
                continue;
            const std::vector<double>& p = brep.edges[static_cast<size_t>(loop.trims[t])].points;
            // The end points of a clamped edge are its first and last control points.
            for (const size_t at : {size_t{0}, p.size() - 4}) {
                for (int k = 0; k < 3; ++k) {
                    const double x = p[at + static_cast<size_t>(k)];
                    if (x < lo[k] - slack || x > hi[k] + slack)
                        return false;
                }
            }
        }
    }
    return true;
}

// Trims are meshed finer than the inside: each face is meshed on its own, and the gap
// left between two faces' meshes along their shared edge is what both trims allow.
constexpr double kTrimShare = 0.6;

TriangleMesh meshShape(const FaceSurface& fs, const TopoDS_Face& shape, bool reversed, double angle) {
    IMeshTools_Parameters parameters;
    parameters.Deflection = kTrimShare * fs.tolerance;
    parameters.DeflectionInterior = fs.tolerance;
    parameters.Angle = angle;
    parameters.AngleInterior = 2 * angle;  // what the library takes when given one angle
    parameters.InParallel = Standard_False;
    BRepMesh_IncrementalMesh mesher(shape, parameters);
    return extractMesh(fs, shape, reversed);
}

std::string failureText(const Standard_Failure& e) {
    return e.GetMessageString() && *e.GetMessageString() ? e.GetMessageString() : e.DynamicType()->Name();
}

FaceMeshResult meshFace(const Brep& brep, const BrepFace& face, double tolerance, double angle) {
    FaceMeshResult result;
    FaceSurface fs;
    try {
        fs.surface = occtSurface(face.surface);
        fs.analysis = new ShapeAnalysis_Surface(fs.surface);
        fs.tolerance = tolerance;
        fs.domain.emplace(fs.surface, 0.01 * tolerance);
    } catch (const Standard_Failure& e) {
        result.error = "surface: " + failureText(e);
        return result;
    }
    try {
        result.mesh = meshShape(fs, projectedFace(fs, brep, face), face.reversed, angle);
        result.ok = coversTrims(result.mesh, brep, face, tolerance);
        if (result.ok)
            return result;
        result.error = "the mesh does not reach the face's trims";
    } catch (const Standard_Failure& e) {
        result.error = failureText(e);
    } catch (const std::exception& e) {
        result.error = e.what();
    }
    try {
        TriangleMesh second = meshShape(fs, trimmedFace(fs, brep, face), face.reversed, angle);
        if (coversTrims(second, brep, face, tolerance)) {
            result.mesh = std::move(second);
            result.ok = true;
            result.error.clear();
        }
    } catch (const Standard_Failure& e) {
        result.error += "; projected trims: " + failureText(e);
    } catch (const std::exception& e) {
        result.error += std::string("; projected trims: ") + e.what();
    }
    return result;
}

// The diagonal of the box around the control points of a face's trim edges: the
// trimmed face's size (its surface may reach far beyond it), 0 for an untrimmed one.
double trimBoxDiagonal(const Brep& brep, const BrepFace& face) {
    double lo[3] = {1e300, 1e300, 1e300};
    double hi[3] = {-1e300, -1e300, -1e300};
    for (const BrepLoop& loop : face.loops) {
        for (size_t t = 0; t < loop.trims.size(); t += 2) {
            if (loop.trims[t] < 0)
                continue;
            const std::vector<double>& p = brep.edges[static_cast<size_t>(loop.trims[t])].points;
            for (size_t i = 0; i + 3 < p.size(); i += 4) {
                for (int k = 0; k < 3; ++k) {
                    lo[k] = std::min(lo[k], p[i + static_cast<size_t>(k)]);
                    hi[k] = std::max(hi[k], p[i + static_cast<size_t>(k)]);
                }
            }
        }
    }
    if (lo[0] > hi[0])
        return 0;
    return std::hypot(hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]);
}

}  // namespace

double controlBoxDiagonal(const Brep& brep) {
    double lo[3] = {std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
                    std::numeric_limits<double>::max()};
    double hi[3] = {-lo[0], -lo[1], -lo[2]};
    for (const BrepFace& f : brep.faces) {
        for (size_t i = 0; i + 3 < f.surface.points.size(); i += 4) {
            for (int k = 0; k < 3; ++k) {
                lo[k] = std::min(lo[k], f.surface.points[i + static_cast<size_t>(k)]);
                hi[k] = std::max(hi[k], f.surface.points[i + static_cast<size_t>(k)]);
            }
        }
    }
    if (lo[0] > hi[0])
        return 0;
    return std::hypot(hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]);
}

std::vector<FaceMeshResult> meshBrep(const Brep& brep, const MeshSettings& settings) {
    const double tolerance = settings.toleranceFor(controlBoxDiagonal(brep));
    const double angle = settings.angleOrDefault();
    std::vector<FaceMeshResult> out;
    out.reserve(brep.faces.size());
    for (const BrepFace& face : brep.faces) {
        out.push_back(meshFace(brep, face, settings.toleranceForFace(tolerance, trimBoxDiagonal(brep, face)), angle));
    }
    return out;
}

}  // namespace vantro::meshing
