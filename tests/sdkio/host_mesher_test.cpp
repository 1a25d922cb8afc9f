// The host's meshers on shapes whose area and volume are known: NURBS built the way
// the application writes them (rational circles, singular trims at poles, seams used
// twice), and SubD control nets. Trims of real files: mesh_validation_test.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>

#include "sdk/meshing/brep_mesher.h"
#include "sdk/meshing/subd_mesher.h"
#include "sdkio/mesh_compare.h"

namespace {

using namespace vantro::meshing;
using vantro::test::Triangles;
using vantro::test::trianglesOf;
using vantro::test::Vec3;

constexpr double kPi = std::numbers::pi;
const double kHalfRoot2 = std::sqrt(0.5);
// The meridian from the south pole to the north pole through +x (xz plane, rational).
const double arcX[5] = {0, 1, 1, 1, 0}, arcZ[5] = {-1, -1, 0, 1, 1}, arcW[5] = {1, kHalfRoot2, 1, kHalfRoot2, 1};

// A circle of radius r around (cx, cy, z) in a plane z = const, as 9 rational
// control points (x, y, z, w) with knots 0, 0, pi/2, pi/2, ... 2pi, 2pi.
NurbsCurve circle(double cx, double cy, double z, double r) {
    NurbsCurve c;
    c.degree = 2;
    const double xs[9] = {1, 1, 0, -1, -1, -1, 0, 1, 1};
    const double ys[9] = {0, 1, 1, 1, 0, -1, -1, -1, 0};
    for (int i = 0; i < 9; ++i) {
        c.points.insert(c.points.end(), {cx + r * xs[i], cy + r * ys[i], z, i % 2 ? kHalfRoot2 : 1.0});
    }
    c.knots = {0, 0, kPi / 2, kPi / 2, kPi, kPi, 1.5 * kPi, 1.5 * kPi, 2 * kPi, 2 * kPi};
    return c;
}

NurbsCurve line(const Vec3& a, const Vec3& b) {
    NurbsCurve c;
    c.degree = 1;
    c.points = {a.x, a.y, a.z, 1, b.x, b.y, b.z, 1};
    c.knots = {0, 1};
    return c;
}

// The plane z = const over [x0, x1] x [y0, y1].
NurbsSurface plane(double x0, double y0, double x1, double y1, double z) {
    NurbsSurface s;
    s.degree = {1, 1};
    s.count = {2, 2};
    s.knots = {std::vector<double>{0, 1}, std::vector<double>{0, 1}};
    s.points = {x0, y0, z, 1, x0, y1, z, 1, x1, y0, z, 1, x1, y1, z, 1};
    return s;
}

BrepLoop loop(bool outer, std::vector<int32_t> trims) { return BrepLoop{outer, std::move(trims)}; }

Triangles meshAll(const Brep& b, const MeshSettings& settings = {}) {
    EXPECT_EQ(checkBrep(b), std::nullopt);
    Triangles all;
    const auto faces = meshBrep(b, settings);
    EXPECT_EQ(faces.size(), b.faces.size());
    for (size_t i = 0; i < faces.size(); ++i) {
        EXPECT_TRUE(faces[i].ok) << "face " << i << ": " << faces[i].error;
        const Triangles t = trianglesOf(faces[i].mesh);
        all.list.insert(all.list.end(), t.list.begin(), t.list.end());
    }
    return all;
}

// A 10 x 10 square with a round hole of radius 2.
Brep squareWithHole() {
    Brep b;
    b.edges = {line({0, 0, 0}, {10, 0, 0}), line({10, 0, 0}, {10, 10, 0}), line({10, 10, 0}, {0, 10, 0}),
               line({0, 10, 0}, {0, 0, 0}), circle(5, 5, 0, 2)};
    b.faces.push_back({plane(0, 0, 10, 10, 0), false, {loop(true, {0, 0, 1, 0, 2, 0, 3, 0}), loop(false, {4, 1})}});
    return b;
}

// The hole is left open at either preset, the triangles facing the surface's own
// normal (+z); the smooth preset is finer and closer. The document's absolute
// tolerance is a floor.
TEST(HostMesher, TrimmedPlaneKeepsItsHole) {
    MeshSettings smooth;
    smooth.preset = MeshSettings::Preset::smooth;
    const Triangles coarse = meshAll(squareWithHole()), fine = meshAll(squareWithHole(), smooth);
    for (const Triangles* t : {&coarse, &fine}) {
        EXPECT_NEAR(t->area(), 100 - kPi * 4, 0.01 * (100 - kPi * 4));
        for (const auto& tri : t->list) {
            const Vec3 c = (tri[0] + tri[1] + tri[2]) * (1.0 / 3.0);
            EXPECT_GT(std::hypot(c.x - 5, c.y - 5), 1.9) << "a triangle inside the hole";
            EXPECT_GT(vantro::test::cross(tri[1] - tri[0], tri[2] - tri[0]).z, 0);
        }
    }
    EXPECT_GT(fine.list.size(), coarse.list.size());
    EXPECT_LT(std::abs(fine.area() - (100 - 4 * kPi)), std::abs(coarse.area() - (100 - 4 * kPi)));
    MeshSettings floor;
    floor.tolerance = 1e-9;
    floor.minimumTolerance = 0.05;
    EXPECT_DOUBLE_EQ(floor.toleranceFor(14.1), 0.05);
}

// The unit sphere scaled by r as the application writes it: u around the z axis
// (0..2pi, its seam at +x), v from the south pole to the north pole.
NurbsSurface sphere(double r) {
    NurbsSurface s;
    s.degree = {2, 2};
    s.count = {9, 5};
    const NurbsCurve ring = circle(0, 0, 0, 1);
    s.knots = {ring.knots, std::vector<double>{-kPi / 2, -kPi / 2, 0, 0, kPi / 2, kPi / 2}};
    for (int i = 0; i < 9; ++i) {
        for (int j = 0; j < 5; ++j) {
            const double* p = &ring.points[4 * static_cast<size_t>(i)];
            s.points.insert(s.points.end(), {r * p[0] * arcX[j], r * p[1] * arcX[j], r * arcZ[j], p[3] * arcW[j]});
        }
    }
    return s;
}

// The sphere's seam, pole to pole along +x.
NurbsCurve seam(double r) {
    NurbsCurve c;
    c.degree = 2;
    for (int j = 0; j < 5; ++j)
        c.points.insert(c.points.end(), {r * arcX[j], 0, r * arcZ[j], arcW[j]});
    c.knots = {-kPi / 2, -kPi / 2, 0, 0, kPi / 2, kPi / 2};
    return c;
}

// A whole sphere as the application writes it: one face, the seam edge used twice and
// two singular trims at the poles.
BrepFace wholeSphere(double r) { return {sphere(r), false, {loop(true, {-1, 0, 0, 0, -1, 0, 0, 1})}}; }

// An arc of a circle as one rational quadratic span, from angle a0 to a1 (less than
// pi apart); at(angle, radius) places a point of the circle.
template <typename At>
NurbsCurve arc(double r, double a0, double a1, At at) {
    const double half = 0.5 * (a1 - a0);
    NurbsCurve c;
    c.degree = 2;
    for (const auto& [angle, radius, w] :
         {std::array<double, 3>{a0, r, 1}, std::array<double, 3>{a0 + half, r / std::cos(half), std::cos(half)},
          std::array<double, 3>{a1, r, 1}}) {
        const Vec3 p = at(angle, radius);
        c.points.insert(c.points.end(), {p.x, p.y, p.z, w});
    }
    c.knots = {0, 0, 1, 1};
    return c;
}

// On the sphere of radius r: the meridian at a longitude from latitude a0 to a1, and
// the circle of a latitude from longitude u0 to u1.
NurbsCurve meridianArc(double r, double a0, double a1, double longitude = 0) {
    return arc(r, a0, a1, [&](double a, double d) {
        return Vec3{d * std::cos(a) * std::cos(longitude), d * std::cos(a) * std::sin(longitude), d * std::sin(a)};
    });
}
NurbsCurve latitudeArc(double r, double latitude, double u0, double u1) {
    return arc(r * std::cos(latitude), u0, u1, [&](double u, double d) {
        return Vec3{d * std::cos(u), d * std::sin(u), r * std::sin(latitude)};
    });
}

// A band of the sphere between two latitudes whose loop (clockwise, which the mesher
// accepts) starts on the seam, down it or up it. Projection puts a point along the
// seam on the same side whichever way the loop runs, so one of the two starts on the
// wrong side: it leaps across the domain, and would mesh the rest of the sphere
// instead of the band.
TEST(HostMesher, BandLoopStartingOnTheSeam) {
    const double r = 2, south = -0.6, north = 0.5;
    Brep b;
    b.edges = {meridianArc(r, south, north), circle(0, 0, r * std::sin(south), r * std::cos(south)),
               circle(0, 0, r * std::sin(north), r * std::cos(north))};
    const double area = 2 * kPi * r * r * (std::sin(north) - std::sin(south));
    for (const bool down : {true, false}) {
        const std::vector<int32_t> trims =
            down ? std::vector<int32_t>{0, 1, 1, 1, 0, 0, 2, 0} : std::vector<int32_t>{0, 0, 2, 0, 0, 1, 1, 1};
        b.faces = {{sphere(r), false, {loop(true, trims)}}};
        EXPECT_NEAR(meshAll(b).area(), area, 0.01 * area) << "starting " << (down ? "down" : "up") << " the seam";
    }
}

// A quarter of that band, its clockwise loop starting with one edge along the seam
// that then turns along a latitude: east of the seam (up it, then along the
// north), or west of it (down it, then along the south). Projection puts the edge's
// start on either side of the seam; only its middle, off the seam, says which side
// the face is on, and from the other one the loop leaps across the domain and no
// face is built. West, the shape fixer's face meshes to a single triangle that
// still has every boundary node.
TEST(HostMesher, LoopStartingAlongTheSeamBeforeLeavingIt) {
    const double r = 2, south = -0.6, north = 0.5;
    const double area = kPi / 2 * r * r * (std::sin(north) - std::sin(south));
    for (const double side : {1.0, -1.0}) {
        const double from = side > 0 ? south : north, to = side > 0 ? north : south, quarter = side * kPi / 2;
        NurbsCurve first = meridianArc(r, from, to);
        const NurbsCurve along = latitudeArc(r, to, 0, quarter);
        first.points.insert(first.points.end(), along.points.begin() + 4, along.points.end());
        first.knots = {0, 0, 1, 1, 3, 3};  // the latitude's span longer: the edge's middle lies on it
        Brep b;
        b.edges = {first, meridianArc(r, to, from, quarter), latitudeArc(r, from, quarter, 0)};
        b.faces = {{sphere(r), false, {loop(true, {0, 0, 1, 0, 2, 0})}}};
        for (const double tolerance : {0.005, 0.02}) {
            MeshSettings settings;
            settings.tolerance = tolerance;
            EXPECT_NEAR(meshAll(b, settings).area(), area, 0.01 * area)
                << (side > 0 ? "east" : "west") << ", tolerance " << tolerance;
        }
    }
}

// A small ball on a large plate, in one brep: the ball (seam and poles) is meshed to
// its own size, not to a tolerance made for the plate (as large as its radius).
TEST(HostMesher, SmallFaceKeepsItsShapeOnALargeObject) {
    const double r = 0.5;
    Brep b;
    b.edges = {seam(r), line({-500, -500, -1}, {500, -500, -1}), line({500, -500, -1}, {500, 500, -1}),
               line({500, 500, -1}, {-500, 500, -1}), line({-500, 500, -1}, {-500, -500, -1})};
    b.faces.push_back(wholeSphere(r));
    b.faces.push_back({plane(-500, -500, 500, 500, -1), false, {loop(true, {1, 0, 2, 0, 3, 0, 4, 0})}});
    MeshSettings settings;
    ASSERT_GT(settings.toleranceFor(controlBoxDiagonal(b)), r) << "the plate no longer dwarfs the ball";
    const auto faces = meshBrep(b, settings);
    ASSERT_TRUE(faces[0].ok) << faces[0].error;
    const Triangles ball = trianglesOf(faces[0].mesh);
    EXPECT_NEAR(ball.area(), 4 * kPi * r * r, 0.01 * 4 * kPi * r * r);
    // Wound outwards at the poles too (the area holds the accuracy).
    EXPECT_NEAR(ball.volume(), 4.0 / 3.0 * kPi * r * r * r, 0.03 * 4.0 / 3.0 * kPi * r * r * r);
    // The document's own tolerance is still a floor.
    settings.minimumTolerance = 0.2;
    EXPECT_DOUBLE_EQ(settings.toleranceForFace(settings.toleranceFor(controlBoxDiagonal(b)), 2 * r), 0.2);
}

// An extruded circle (radius 2, height 5) as a closed brep: side, bottom and top. Off
// the z = 0 plane, so that a cap wound the wrong way changes the volume.
TEST(HostMesher, CylinderExtrusionIsClosed) {
    const double r = 2, h = 5, z0 = 1;
    Brep b;
    b.edges = {circle(0, 0, z0, r), circle(0, 0, z0 + h, r), line({r, 0, z0}, {r, 0, z0 + h})};
    NurbsSurface side;
    side.degree = {2, 1};
    side.count = {9, 2};
    side.knots = {b.edges[0].knots, std::vector<double>{0, h}};
    for (int i = 0; i < 9; ++i) {
        const double* p = &b.edges[0].points[4 * static_cast<size_t>(i)];
        for (const double z : {z0, z0 + h})
            side.points.insert(side.points.end(), {p[0], p[1], z, p[3]});
    }
    b.faces.push_back({side, false, {loop(true, {0, 0, 2, 0, 1, 1, 2, 1})}});
    b.faces.push_back({plane(-r, -r, r, r, z0), true, {loop(true, {0, 1})}});
    b.faces.push_back({plane(-r, -r, r, r, z0 + h), false, {loop(true, {1, 0})}});
    const Triangles t = meshAll(b);
    EXPECT_NEAR(t.area(), 2 * kPi * r * r + 2 * kPi * r * h, 0.01 * (2 * kPi * r * r + 2 * kPi * r * h));
    EXPECT_NEAR(t.volume(), kPi * r * r * h, 0.01 * kPi * r * r * h);
}

// Geometry from a file is checked before any library sees it.
TEST(HostMesher, BadGeometryIsRefused) {
    NurbsCurve c = line({0, 0, 0}, {1, 0, 0});
    c.knots = {1, 0};
    EXPECT_EQ(checkCurve(c), "knots: knots decrease at 1");
    c = line({0, 0, 0}, {1, 0, 0});
    c.points[3] = 0;
    EXPECT_EQ(checkCurve(c), "control point 0: weight not positive");
    Brep b;  // (a trim naming a missing edge: the document reader's test)
    b.edges = {line({0, 0, 0}, {1, 0, 0})};
    b.faces.push_back({plane(0, 0, 1, 1, 0), false, {loop(true, {0, 0})}});
    b.faces[0].surface.points.pop_back();
    EXPECT_EQ(checkBrep(b), "face 0: surface: 15 control point numbers, 16 expected");
    SubD s;
    s.vertices = {0, 0, 0, 1, 0, 0, 1, 1, 0};
    s.faceCounts = {3};
    s.faceVertices = {0, 1, 7};
    EXPECT_EQ(checkSubD(s), "a face refers to vertex 7 of 3");
    s.faceCounts.clear();  // a net with no faces is no surface: refused, not meshed
    s.faceVertices.clear();
    EXPECT_FALSE(meshSubD(s, MeshSettings{}).ok);
}

SubD cube(bool creased) {
    SubD s;
    for (int i = 0; i < 8; ++i)
        s.vertices.insert(s.vertices.end(), {double(i & 1), double((i >> 1) & 1), double(i >> 2)});
    s.faceCounts = {4, 4, 4, 4, 4, 4};
    // Outward, counter-clockwise seen from outside.
    s.faceVertices = {0, 2, 3, 1, 4, 5, 7, 6, 0, 1, 5, 4, 2, 6, 7, 3, 0, 4, 6, 2, 1, 3, 7, 5};
    if (creased) {
        s.creases = {0, 1, 2, 3, 4, 5, 6, 7, 0, 2, 1, 3, 4, 6, 5, 7, 0, 4, 1, 5, 2, 6, 3, 7};
    }
    return s;
}

// A SubD cube with every edge creased is the cube itself; smooth, its limit surface
// lies inside the cage and the levels converge.
TEST(HostMesher, SubDCubeLimitSurface) {
    ASSERT_EQ(checkSubD(cube(true)), std::nullopt);
    const SubDMeshResult sharp = meshSubD(cube(true), MeshSettings{});
    ASSERT_TRUE(sharp.ok) << sharp.error;
    const Triangles box = trianglesOf(sharp.mesh);
    EXPECT_NEAR(box.area(), 6.0, 1e-4);
    EXPECT_NEAR(box.volume(), 1.0, 1e-4);
    EXPECT_EQ(box.list.size(), 6u * 16u * 2u);  // level 2: 16 quads per face
    MeshSettings level4, level5;
    level4.subdLevel = 4;
    level5.subdLevel = 5;
    const Triangles round4 = trianglesOf(meshSubD(cube(false), level4).mesh);
    const Triangles round5 = trianglesOf(meshSubD(cube(false), level5).mesh);
    EXPECT_NEAR(round4.volume(), round5.volume(), 0.01 * round5.volume());
    // Inside the cage and centred in it (the control net, not the limit, would fill it).
    Vec3 lo, hi;
    round5.bounds(lo, hi);
    for (const double x : {lo.x, lo.y, lo.z})
        EXPECT_GT(x, 0.05);
    EXPECT_NEAR(lo.x + hi.x, 1.0, 1e-5);
    EXPECT_NEAR(lo.z + hi.z, 1.0, 1e-5);
    EXPECT_LT(round5.volume(), 0.5);
    // Normals point outwards: from the centre to the vertex.
    const TriangleMesh& m = sharp.mesh;
    for (size_t v = 0; v < m.vertexCount(); v += 7) {
        const double out = (m.vertices[3 * v] - 0.5) * m.normals[3 * v] +
                           (m.vertices[3 * v + 1] - 0.5) * m.normals[3 * v + 1] +
                           (m.vertices[3 * v + 2] - 0.5) * m.normals[3 * v + 2];
        EXPECT_GE(out, -1e-6);
    }
}

}  // namespace
