#pragma once
// ON_TextureMapping: a rule that computes texture coordinates from positions and
// normals: planar, box, spherical, cylindrical, surface-parameter, world projection or
// world box projection.
//
// The mapping works in a "mapping space" reached from world space by m_Pxyz (normals
// by m_Nxyz, its inverse transpose); the texture coordinates are m_uvw applied to the
// mapping-space result:
//   plane:    the mapping rectangle/box maps to [0,1]^3; (r, s, t) is the point there.
//   box:      the box maps to [0,1]^3; the side is chosen by the largest component of
//             the mapped normal (or, with no normal, the nearest side); each side's two
//             in-plane coordinates, oriented as seen from outside, give (u, v) in
//             [0,1]^2 (single texture space) or in its sixth of u (divided: sides
//             -x, +x, -y, +y, -z, +z in that order); t is the depth into the box.
//   sphere:   the sphere maps to the unit sphere at the origin; u = longitude / 2 pi in
//             [0,1), v = latitude / pi + 1/2, t = distance from the centre.
//   cylinder: the cylinder maps to radius 1, axis z from 0 to 1; u = angle / 2 pi,
//             v = z, t = radial distance; capped cylinders map points whose normal is
//             mostly along the axis onto the cap disc, (x, y) * 0.5 + 0.5.
//   srfp:     the mesh's own texture coordinates (u, v, 0); needs the mesh.
//   wcs:      the world position itself; wcsbox: CRhRdkTexture::WcsBoxMapping.
// Other types (mesh, surface and brep primitives, ocs, false colours) are not
// evaluated: Evaluate returns 0.
// Thread-safety: a value type.

#include <cstdint>

#include "sdk/geometry/on_array.h"
#include "sdk/geometry/on_mesh.h"
#include "sdk/document/on_model_component.h"
#include "sdk/geometry/on_point.h"
#include "sdk/geometry/on_xform.h"

class ON_TextureMapping : public ON_ModelComponent {
public:
    enum class TYPE : unsigned int {
        no_mapping = 0,
        srfp_mapping = 1,
        plane_mapping = 2,
        cylinder_mapping = 3,
        sphere_mapping = 4,
        box_mapping = 5,
        mesh_mapping_primitive = 6,
        srf_mapping_primitive = 7,
        brep_mapping_primitive = 8,
        ocs_mapping = 9,
        false_colors = 10,
        wcs_projection = 11,
        wcsbox_projection = 12,
    };
    enum class PROJECTION : unsigned int { no_projection = 0, clspt_projection = 1, ray_projection = 2 };
    enum class TEXTURE_SPACE : unsigned int { single = 0, divided = 1 };

    TYPE m_type = TYPE::no_mapping;
    PROJECTION m_projection = PROJECTION::clspt_projection;
    TEXTURE_SPACE m_texture_space = TEXTURE_SPACE::single;
    bool m_bCapped = false;
    ON_Xform m_Pxyz;  // world -> mapping space
    ON_Xform m_Nxyz;  // normals -> mapping space (inverse transpose of m_Pxyz)
    ON_Xform m_uvw;   // mapping space -> texture coordinates

    // Setters for the common mappings; each sets m_type, m_Pxyz and m_Nxyz and resets
    // m_uvw to the identity. False (mapping unchanged) for an invalid plane, a zero
    // interval, a non-positive radius or height.
    bool SetPlaneMapping(const ON_Plane& plane, const ON_Interval& dx, const ON_Interval& dy, const ON_Interval& dz);
    bool SetBoxMapping(const ON_Plane& plane, const ON_Interval& dx, const ON_Interval& dy, const ON_Interval& dz,
                       bool capped);
    bool SetSphereMapping(const ON_3dPoint& center, double radius);
    // plane.origin is the centre of the bottom, plane.zaxis the axis.
    bool SetCylinderMapping(const ON_Plane& plane, double radius, double height, bool capped);
    bool SetSurfaceParameterMapping();

    // Texture coordinates for a world point with its normal (the normal may be zero).
    // Returns 1 and writes T on success, 0 (T untouched) for a mapping type that is not
    // evaluated or a point that cannot be mapped. srfp needs the mesh: use
    // GetTextureCoordinates.
    int Evaluate(const ON_3dPoint& P, const ON_3dVector& N, ON_3dPoint* T) const;

    // Coordinates for every vertex of mesh, evaluated as if the mesh were moved by
    // the inverse of objectXform first (the object's transformation since the mapping
    // was applied, so that textures stick to moved objects). Vertex normals are used
    // when present, else face normals, else none. False, T emptied, when a vertex
    // cannot be mapped or the mapping is not evaluated.
    bool GetTextureCoordinates(const ON_Mesh& mesh, ON_SimpleArray<ON_3fPoint>& T,
                               const ON_Xform* objectXform = nullptr) const;

    // A checksum of everything that changes the coordinates (type, projection, space,
    // capping and the three transformations).
    uint32_t MappingCRC() const;

    bool IsValid() const;  // finite transformations
};
