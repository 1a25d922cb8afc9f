#include "sdk/geometry/on_texture_mapping.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "sdk/render/rdk_texture.h"
#include "sdk_internal.h"

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

// World -> the plane's frame, then each interval -> [0, 1] (a zero-length interval
// only shifts).
ON_Xform frameToUnit(const ON_Plane& plane, const ON_Interval& dx, const ON_Interval& dy, const ON_Interval& dz) {
    const ON_3dVector axes[3] = {plane.xaxis, plane.yaxis, plane.zaxis};
    const ON_Interval* ranges[3] = {&dx, &dy, &dz};
    const ON_3dVector o(plane.origin);
    ON_Xform x = ON_Xform::ZeroTransformation;
    for (int i = 0; i < 3; ++i) {
        const double length = ranges[i]->Length();
        const double s = length == 0.0 ? 1.0 : 1.0 / length;
        x.m_xform[i][0] = axes[i].x * s;
        x.m_xform[i][1] = axes[i].y * s;
        x.m_xform[i][2] = axes[i].z * s;
        x.m_xform[i][3] = (-ON_DotProduct(o, axes[i]) - ranges[i]->m_t[0]) * s;
    }
    x.m_xform[3][3] = 1.0;
    return x;
}

ON_Xform normalXformOf(const ON_Xform& p) {
    ON_Xform n = p;
    for (int i = 0; i < 3; ++i)
        n.m_xform[i][3] = n.m_xform[3][i] = 0.0;
    n.m_xform[3][3] = 1.0;
    if (!n.Invert())
        return ON_Xform::ZeroTransformation;
    n.Transpose();
    return n;
}

double wrapUnit(double angle) {
    double u = angle / kTwoPi;
    if (u < 0.0)
        u += 1.0;
    return u >= 1.0 ? 0.0 : u;
}

ON_3dPoint boxSide(const ON_3dPoint& p, const ON_3dVector& n, bool divided) {
    int side;  // 0 -x, 1 +x, 2 -y, 3 +y, 4 -z, 5 +z
    if (!n.IsZero()) {
        const double ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
        if (az >= ax && az >= ay)
            side = n.z < 0 ? 4 : 5;
        else if (ay >= ax)
            side = n.y < 0 ? 2 : 3;
        else
            side = n.x < 0 ? 0 : 1;
    } else {
        const double d[6] = {p.x, 1.0 - p.x, p.y, 1.0 - p.y, p.z, 1.0 - p.z};
        side = 0;
        for (int i = 1; i < 6; ++i)
            if (d[i] < d[side])
                side = i;
    }
    ON_3dPoint t;
    switch (side) {
        case 0: t = {1.0 - p.y, p.z, p.x}; break;
        case 1: t = {p.y, p.z, 1.0 - p.x}; break;
        case 2: t = {p.x, p.z, p.y}; break;
        case 3: t = {1.0 - p.x, p.z, 1.0 - p.y}; break;
        case 4: t = {p.x, 1.0 - p.y, p.z}; break;
        default: t = {p.x, p.y, 1.0 - p.z}; break;
    }
    if (divided)
        t.x = (side + t.x) / 6.0;
    return t;
}

template <class T>
void crcOf(uint32_t& crc, const T& value) {
    crc = vantro::sdk::crc32(crc, &value, sizeof value);
}

}  // namespace

bool ON_TextureMapping::SetPlaneMapping(const ON_Plane& plane, const ON_Interval& dx, const ON_Interval& dy,
                                        const ON_Interval& dz) {
    if (!plane.IsValid() || dx.Length() == 0.0 || dy.Length() == 0.0)
        return false;
    m_type = TYPE::plane_mapping;
    m_Pxyz = frameToUnit(plane, dx, dy, dz);
    m_Nxyz = normalXformOf(m_Pxyz);
    m_uvw = ON_Xform();
    return true;
}

bool ON_TextureMapping::SetBoxMapping(const ON_Plane& plane, const ON_Interval& dx, const ON_Interval& dy,
                                      const ON_Interval& dz, bool capped) {
    if (!plane.IsValid() || dx.Length() == 0.0 || dy.Length() == 0.0 || dz.Length() == 0.0)
        return false;
    m_type = TYPE::box_mapping;
    m_bCapped = capped;
    m_Pxyz = frameToUnit(plane, dx, dy, dz);
    m_Nxyz = normalXformOf(m_Pxyz);
    m_uvw = ON_Xform();
    return true;
}

bool ON_TextureMapping::SetSphereMapping(const ON_3dPoint& center, double radius) {
    if (!(radius > 0.0) || !std::isfinite(radius) || !center.IsValid())
        return false;
    m_type = TYPE::sphere_mapping;
    m_Pxyz = ON_Xform::DiagonalTransformation(1.0 / radius) *
             ON_Xform::TranslationTransformation(-center.x, -center.y, -center.z);
    m_Nxyz = normalXformOf(m_Pxyz);
    m_uvw = ON_Xform();
    return true;
}

bool ON_TextureMapping::SetCylinderMapping(const ON_Plane& plane, double radius, double height, bool capped) {
    if (!plane.IsValid() || !(radius > 0.0) || !(height > 0.0) || !std::isfinite(radius) || !std::isfinite(height))
        return false;
    m_type = TYPE::cylinder_mapping;
    m_bCapped = capped;
    // Radius maps to 1 around the axis, the height to [0, 1] along it.
    m_Pxyz = frameToUnit(plane, ON_Interval(0, radius), ON_Interval(0, radius), ON_Interval(0, height));
    m_Nxyz = normalXformOf(m_Pxyz);
    m_uvw = ON_Xform();
    return true;
}

bool ON_TextureMapping::SetSurfaceParameterMapping() {
    m_type = TYPE::srfp_mapping;
    m_Pxyz = m_Nxyz = m_uvw = ON_Xform();
    return true;
}

int ON_TextureMapping::Evaluate(const ON_3dPoint& P, const ON_3dVector& N, ON_3dPoint* T) const {
    if (!T || !P.IsValid())
        return 0;
    ON_3dPoint rst;
    switch (m_type) {
        case TYPE::plane_mapping: rst = m_Pxyz * P; break;
        case TYPE::box_mapping: rst = boxSide(m_Pxyz * P, m_Nxyz * N, m_texture_space == TEXTURE_SPACE::divided); break;
        case TYPE::sphere_mapping: {
            const ON_3dPoint p = m_Pxyz * P;
            const double rho = ON_3dVector(p).Length();
            const double latitude = rho > 0.0 ? std::asin(std::clamp(p.z / rho, -1.0, 1.0)) : 0.0;
            rst = {wrapUnit(std::atan2(p.y, p.x)), latitude / std::numbers::pi + 0.5, rho};
            break;
        }
        case TYPE::cylinder_mapping: {
            const ON_3dPoint p = m_Pxyz * P;
            const ON_3dVector n = m_Nxyz * N;
            const double radial = std::hypot(n.x, n.y);
            if (m_bCapped && !n.IsZero() && std::fabs(n.z) > radial) {
                rst = {p.x * 0.5 + 0.5, p.y * 0.5 + 0.5, p.z};
            } else {
                rst = {wrapUnit(std::atan2(p.y, p.x)), p.z, std::hypot(p.x, p.y)};
            }
            break;
        }
        case TYPE::wcs_projection: rst = P; break;
        case TYPE::wcsbox_projection: rst = ON_3dPoint(CRhRdkTexture::WcsBoxMapping(P, N)); break;
        default: return 0;
    }
    const ON_3dPoint t = m_uvw * rst;
    if (!t.IsValid())
        return 0;
    *T = t;
    return 1;
}

bool ON_TextureMapping::GetTextureCoordinates(const ON_Mesh& mesh, ON_SimpleArray<ON_3fPoint>& T,
                                              const ON_Xform* objectXform) const {
    T.Empty();
    const int v = mesh.VertexCount();
    if (m_type == TYPE::srfp_mapping) {
        if (!mesh.HasTextureCoordinates())
            return false;
        T.Reserve(v);
        for (const ON_2fPoint& st : mesh.m_T)
            T.Append(ON_3fPoint(m_uvw * ON_3dPoint(st.x, st.y, 0.0)));
        return true;
    }
    ON_Xform pointBack, normalBack;
    if (objectXform && !objectXform->IsIdentity()) {
        pointBack = objectXform->Inverse();
        if (pointBack == ON_Xform::ZeroTransformation)
            return false;
        // Normals go back with the inverse transpose of the inverse: the transpose.
        normalBack = *objectXform;
        normalBack.Transpose();
    }
    std::vector<ON_3dVector> normals(static_cast<size_t>(v));
    if (mesh.HasVertexNormals()) {
        for (int i = 0; i < v; ++i)
            normals[static_cast<size_t>(i)] = ON_3dVector(mesh.m_N[i]);
    } else if (mesh.HasFaceNormals()) {
        for (int f = 0; f < mesh.FaceCount(); ++f) {
            const ON_MeshFace& face = mesh.m_F[f];
            for (int k = 0; k < (face.IsQuad() ? 4 : 3); ++k) {
                if (face.vi[k] < 0 || face.vi[k] >= v)
                    return false;
                auto& n = normals[static_cast<size_t>(face.vi[k])];
                n = n + ON_3dVector(mesh.m_FN[f]);
            }
        }
    }
    T.Reserve(v);
    for (int i = 0; i < v; ++i) {
        const ON_3dPoint p = pointBack * ON_3dPoint(mesh.m_V[i]);
        ON_3dVector n = normalBack * normals[static_cast<size_t>(i)];
        n.Unitize();
        ON_3dPoint t;
        if (!Evaluate(p, n, &t)) {
            T.Empty();
            return false;
        }
        T.Append(ON_3fPoint(t));
    }
    return true;
}

uint32_t ON_TextureMapping::MappingCRC() const {
    uint32_t crc = 0;
    crcOf(crc, m_type);
    crcOf(crc, m_projection);
    crcOf(crc, m_texture_space);
    crcOf(crc, m_bCapped);
    crcOf(crc, m_Pxyz.m_xform);
    crcOf(crc, m_Nxyz.m_xform);
    crcOf(crc, m_uvw.m_xform);
    return crc;
}

bool ON_TextureMapping::IsValid() const { return m_Pxyz.IsValid() && m_Nxyz.IsValid() && m_uvw.IsValid(); }
