#pragma once
// Documents built in code for the scene tests, with numbers exact in f32 (multiples of
// 1/8) so that an independent computation of the expected bytes can match bit for bit.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sdk/geometry/on_mesh.h"
#include "sdk/document/on_object_attributes.h"
#include "sdk/document/rhino_doc.h"
#include "sdk/document/rhino_instance_definition_table.h"
#include "sdk/document/rhino_object.h"
#include "sdk/sdk_test_support.h"

namespace vantro::test {

using sdktest::boxMesh;
using sdktest::triangleMesh;  // (0,0,0), (1,0,0), (0,1,0), without normals

// An open grid of n x n quads (every third a triangle) at z = height, with texture
// coordinates, without normals or with face normals.
inline ON_Mesh gridMesh(int n, double size, double height, bool faceNormals = false) {
    ON_Mesh mesh;
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i) {
            const int v = mesh.AppendVertex(ON_3dPoint(size * i / n, size * j / n, height));
            mesh.SetTextureCoord(v, double(i) / n, double(j) / n);
        }
    int f = 0;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const int a = j * (n + 1) + i;
            if ((i + j) % 3 == 2)
                mesh.SetTriangle(f++, a, a + 1, a + n + 2);
            else
                mesh.SetQuad(f++, a, a + 1, a + n + 2, a + n + 1);
        }
    if (faceNormals)
        for (int k = 0; k < f; ++k)
            mesh.m_FN.Append(ON_3fVector(0, 0, k % 2 ? 1.0f : 0.5f));
    return mesh;
}

inline ON_3dmObjectAttributes attributesOn(int layer, ON::object_material_source source = ON::material_from_layer,
                                           int materialIndex = -1) {
    ON_3dmObjectAttributes a;
    a.m_layer_index = layer;
    a.SetMaterialSource(source);
    a.m_material_index = materialIndex;
    return a;
}

inline int addLayer(CRhinoDoc& doc, const char16_t* name, int materialIndex = -1, bool visible = true) {
    ON_Layer layer;
    layer.SetName(name);
    layer.SetRenderMaterialIndex(materialIndex);
    layer.SetVisible(visible);
    return doc.m_layer_table.AddLayer(layer, true);
}

inline int addMaterial(CRhinoDoc& doc, const char16_t* name, int red, int green, int blue) {
    ON_Material material;
    material.SetName(name);
    material.SetDiffuse(ON_Color(red, green, blue));
    return doc.m_material_table.AddMaterial(material);
}

inline CRhinoObject* addMeshObject(CRhinoDoc& doc, const ON_Mesh& mesh, const ON_3dmObjectAttributes& attributes) {
    return doc.AddMeshObject(mesh, &attributes);
}

inline int addDefinition(CRhinoDoc& doc, const char16_t* name, CRhinoInstanceDefinitionTable::Geometry geometry) {
    ON_InstanceDefinition idef;
    idef.SetName(name);
    return doc.m_instance_definition_table.AddInstanceDefinition(idef, std::move(geometry));
}

inline int addBlock(CRhinoDoc& doc, const char16_t* name,
                    const std::vector<std::pair<ON_Mesh, ON_3dmObjectAttributes>>& parts) {
    CRhinoInstanceDefinitionTable::Geometry geometry;
    for (const auto& [mesh, attributes] : parts)
        geometry.push_back(std::make_unique<CRhinoMeshObject>(mesh, attributes));
    return addDefinition(doc, name, std::move(geometry));
}

// A block definition made of instances of other definitions.
inline int addNestedBlock(CRhinoDoc& doc, const char16_t* name, const std::vector<std::pair<int, ON_Xform>>& instances,
                          const ON_3dmObjectAttributes& attributes = attributesOn(0)) {
    CRhinoInstanceDefinitionTable::Geometry geometry;
    for (const auto& [index, xform] : instances)
        geometry.push_back(
            std::make_unique<CRhinoInstanceObject>(doc.m_instance_definition_table[index].Id(), xform, attributes));
    return addDefinition(doc, name, std::move(geometry));
}

}  // namespace vantro::test
