#include "mirror_view.h"

#include <cmath>
#include <fstream>
#include <cstdlib>
#include <sstream>

namespace vantro::test {

void Bounds::add(double x, double y, double z) {
    const double p[3] = {x, y, z};
    for (int i = 0; i < 3; ++i) {
        lo[i] = std::min(lo[i], p[i]);
        hi[i] = std::max(hi[i], p[i]);
    }
}

namespace {

// Positions travel as 32-bit floats of metres; colours are printed with 4 decimals.
constexpr double kMetres = 2e-3, kColour = 3e-3, kDirection = 1e-3;

bool near(const double* a, const double* b, int n, double tolerance) {
    for (int i = 0; i < n; ++i) {
        if (std::fabs(a[i] - b[i]) > tolerance)
            return false;
    }
    return true;
}

std::string triple(const double* v) {
    std::ostringstream out;
    out << "(" << v[0] << ", " << v[1] << ", " << v[2] << ")";
    return out.str();
}

void compareMaterial(const std::string& name, const MaterialView& e, const MaterialView& a, std::ostringstream& out) {
    if (e.triangles != a.triangles)
        out << name << ": " << a.triangles << " triangles, expected " << e.triangles << "\n";
    if (!near(e.diffuse, a.diffuse, 3, kColour))
        out << name << ": colour " << triple(a.diffuse) << ", expected " << triple(e.diffuse) << "\n";
    if (std::fabs(e.opacity - a.opacity) > kColour)
        out << name << ": opacity " << a.opacity << ", expected " << e.opacity << "\n";
    if (!near(e.bounds.lo, a.bounds.lo, 3, kMetres) || !near(e.bounds.hi, a.bounds.hi, 3, kMetres))
        out << name << ": bounds " << triple(a.bounds.lo) << ".." << triple(a.bounds.hi) << ", expected "
            << triple(e.bounds.lo) << ".." << triple(e.bounds.hi) << "\n";
}

}  // namespace

std::string differences(const MirrorView& expected, const MirrorView& actual) {
    std::ostringstream out;
    if (expected.materialCount != actual.materialCount)
        out << actual.materialCount << " materials, expected " << expected.materialCount << "\n";
    if (expected.textured != actual.textured)
        out << actual.textured << " textured, expected " << expected.textured << "\n";
    for (const auto& [name, e] : expected.materials) {
        const auto found = actual.materials.find(name);
        if (found == actual.materials.end())
            out << name << ": missing (expected " << e.triangles << " triangles)\n";
        else
            compareMaterial(name, e, found->second, out);
    }
    for (const auto& [name, a] : actual.materials) {
        if (!expected.materials.count(name))
            out << name << ": " << a.triangles << " triangles, expected none\n";
    }
    if (expected.camera != actual.camera)
        out << (actual.camera ? "a camera, expected none\n" : "no camera\n");
    else if (expected.camera && !near(expected.position, actual.position, 3, kMetres))
        out << "camera at " << triple(actual.position) << ", expected " << triple(expected.position) << "\n";
    else if (expected.camera && !near(expected.direction, actual.direction, 3, kDirection))
        out << "camera direction " << triple(actual.direction) << ", expected " << triple(expected.direction) << "\n";
    return out.str();
}

bool readObjMirror(const std::string& objPath, MirrorView& view, std::string& why) {
    std::ifstream obj(objPath);
    const std::string mtlPath = objPath.substr(0, objPath.rfind('.')) + ".mtl";
    std::ifstream mtl(mtlPath);
    if (!obj || !mtl) {
        why = "cannot read " + (obj ? mtlPath : objPath);
        return false;
    }
    MaterialView* current = nullptr;
    for (std::string line; std::getline(obj, line);) {
        std::istringstream words(line);
        std::string kind;
        words >> kind;
        if (kind == "o") {
            std::string name;
            words >> name;
            current = &view.materials[name];
        } else if (kind == "v" && current) {
            double x = 0, y = 0, z = 0;
            words >> x >> y >> z;
            current->bounds.add(x, y, z);
        } else if (kind == "f" && current) {
            ++current->triangles;
        }
    }
    std::string material;
    for (std::string line; std::getline(mtl, line);) {
        std::istringstream words(line);
        std::string kind;
        words >> kind;
        if (kind == "newmtl") {
            words >> material;
            ++view.materialCount;
        } else if (kind == "map_Kd") {
            ++view.textured;
        } else if (view.materials.count(material)) {
            MaterialView& m = view.materials[material];
            if (kind == "Kd")
                words >> m.diffuse[0] >> m.diffuse[1] >> m.diffuse[2];
            else if (kind == "d")
                words >> m.opacity;
        }
    }
    return true;
}

namespace {

// The numbers after "key": in the summary's VIEW record (the only record with them).
bool numbersAfter(const std::string& json, const std::string& key, double* out, int count) {
    size_t at = json.find("\"" + key + "\":");
    if (at == std::string::npos)
        return false;
    const char* p = json.c_str() + at + key.size() + 3;
    for (int i = 0; i < count; ++i) {
        while (*p == '[' || *p == ',')
            ++p;
        char* end = nullptr;
        out[i] = std::strtod(p, &end);
        if (end == p)
            return false;
        p = end;
    }
    return true;
}

}  // namespace

void readSummaryCamera(const std::string& summaryJson, MirrorView& view) {
    double kind = 0;
    view.camera = numbersAfter(summaryJson, "cameraKind", &kind, 1) && kind == 6 &&
                  numbersAfter(summaryJson, "position", view.position, 3) &&
                  numbersAfter(summaryJson, "direction", view.direction, 3);
}

}  // namespace vantro::test
