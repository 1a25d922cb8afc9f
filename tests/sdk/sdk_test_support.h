#pragma once
// Small geometry and material builders for tests that fill documents by hand.

#include <string>
#include <vector>

#include "sdk/rhino_sdk.h"

namespace vantro::sdktest {

// A box from lo to hi: 8 shared vertices, 6 quads, outward (inward when reversed),
// with axis-aligned corner normals whose numbers are exact in f32.
inline ON_Mesh boxMesh(const ON_3dPoint& lo, const ON_3dPoint& hi, bool inward = false) {
    ON_Mesh mesh;
    const double s = inward ? -0.5 : 0.5;
    for (int i = 0; i < 8; ++i) {
        mesh.AppendVertex(ON_3dPoint(i & 1 ? hi.x : lo.x, i & 2 ? hi.y : lo.y, i & 4 ? hi.z : lo.z));
        mesh.SetVertexNormal(i, ON_3dVector(i & 1 ? s : -s, i & 2 ? s : -s, i & 4 ? s : -s));
    }
    const int quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (int f = 0; f < 6; ++f) {
        const int* q = quads[f];
        inward ? mesh.SetQuad(f, q[3], q[2], q[1], q[0]) : mesh.SetQuad(f, q[0], q[1], q[2], q[3]);
    }
    return mesh;
}

inline ON_Mesh triangleMesh() {
    ON_Mesh m;
    m.AppendVertex(ON_3dPoint(0, 0, 0));
    m.AppendVertex(ON_3dPoint(1, 0, 0));
    m.AppendVertex(ON_3dPoint(0, 1, 0));
    m.SetTriangle(0, 0, 1, 2);
    return m;
}

// A material named name whose bitmap texture is the image file at path; its index.
inline int addFileTextureMaterial(CRhinoDoc& doc, const char16_t* name, const std::u16string& path) {
    ON_Texture texture;
    texture.m_image_file_reference = ON_FileReference::CreateFromFullPath(ON_wString(path));
    ON_Material material;
    material.SetName(name);
    material.AddTexture(texture);
    return doc.m_material_table.AddMaterial(material);
}

// A material named name whose bitmap texture is a 2 x 2, 24-bit image embedded in the
// document, every byte fill; its index, or -1 when the bitmap could not be added.
inline int addEmbeddedTextureMaterial(CRhinoDoc& doc, const char16_t* name, unsigned char fill) {
    ON_Bitmap bitmap;
    if (!bitmap.Create(2, 2, 24) || !bitmap.SetBits(std::vector<uint8_t>(bitmap.SizeofImage(), fill)))
        return -1;
    bitmap.SetId();
    const ON_UUID bitmapId = bitmap.Id();
    if (doc.m_bitmap_table.AddBitmap(bitmap) < 0)
        return -1;
    ON_Texture texture;
    texture.m_texture_id = bitmapId;
    ON_Material material;
    material.SetName(name);
    material.AddTexture(texture);
    return doc.m_material_table.AddMaterial(material);
}

// Attributes on layer 0 that take their material from the object: material.
inline ON_3dmObjectAttributes withMaterial(int material) {
    ON_3dmObjectAttributes a;
    a.m_layer_index = 0;
    a.SetMaterialSource(ON::material_from_object);
    a.m_material_index = material;
    return a;
}

}  // namespace vantro::sdktest
