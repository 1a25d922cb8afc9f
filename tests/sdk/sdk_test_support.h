#pragma once
// Small geometry and material builders for tests that fill documents by hand.

#include <string>
#include <vector>

#include "sdk/rhino_sdk.h"

namespace vantro::sdktest {

// An axis-aligned box of 8 shared vertices and 6 quads with outward winding.
inline ON_Mesh boxMesh(double x0, double y0, double z0, double x1, double y1, double z1) {
    ON_Mesh m;
    const double xs[2] = {x0, x1}, ys[2] = {y0, y1}, zs[2] = {z0, z1};
    for (int k = 0; k < 2; ++k)
        for (int j = 0; j < 2; ++j)
            for (int i = 0; i < 2; ++i)
                m.AppendVertex(ON_3dPoint(xs[i], ys[j], zs[k]));
    auto v = [](int i, int j, int k) { return i + 2 * j + 4 * k; };
    int f = 0;
    m.SetQuad(f++, v(0, 0, 0), v(0, 1, 0), v(1, 1, 0), v(1, 0, 0));  // bottom, -z
    m.SetQuad(f++, v(0, 0, 1), v(1, 0, 1), v(1, 1, 1), v(0, 1, 1));  // top, +z
    m.SetQuad(f++, v(0, 0, 0), v(1, 0, 0), v(1, 0, 1), v(0, 0, 1));  // front, -y
    m.SetQuad(f++, v(0, 1, 0), v(0, 1, 1), v(1, 1, 1), v(1, 1, 0));  // back, +y
    m.SetQuad(f++, v(0, 0, 0), v(0, 0, 1), v(0, 1, 1), v(0, 1, 0));  // left, -x
    m.SetQuad(f++, v(1, 0, 0), v(1, 1, 0), v(1, 1, 1), v(1, 0, 1));  // right, +x
    m.ComputeVertexNormals();
    return m;
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

inline ON_3dmObjectAttributes onLayer(int layer) {
    ON_3dmObjectAttributes a;
    a.m_layer_index = layer;
    return a;
}

}  // namespace vantro::sdktest
