#pragma once
// Field-by-field comparison of two documents for the round-trip tests: every table
// entry and object the JSON format carries, in document order. Runtime serial numbers
// differ between documents and are not compared.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "sdk/geometry/on_uuid.h"
#include "sdk/render/rdk_document.h"
#include "sdk/document/rhino_doc.h"
#include "sdk/document/rhino_object.h"

namespace vantro::test {

// Both sides hold count entries, and same(i) compares entry i of each.
template <typename Count, typename Same>
void expectSameEntries(Count countA, Count countB, Same&& same) {
    ASSERT_EQ(countA, countB);
    for (Count i = 0; i < countA; ++i)
        same(i);
}

inline void expectSameComponent(const ON_ModelComponent& a, const ON_ModelComponent& b) {
    EXPECT_EQ(a.Id(), b.Id());
    EXPECT_EQ(a.Name(), b.Name());
}

inline void expectSameMesh(const ON_Mesh& a, const ON_Mesh& b) {
    EXPECT_TRUE(a.m_V == b.m_V);
    EXPECT_TRUE(a.m_F == b.m_F);
    EXPECT_TRUE(a.m_N == b.m_N);
    EXPECT_TRUE(a.m_FN == b.m_FN);
    EXPECT_TRUE(a.m_T == b.m_T);
}

inline void expectSameTexture(const ON_Texture& a, const ON_Texture& b) {
    EXPECT_EQ(a.m_texture_id, b.m_texture_id);
    EXPECT_EQ(a.m_type, b.m_type);
    EXPECT_EQ(a.m_bOn, b.m_bOn);
    EXPECT_EQ(a.m_mode, b.m_mode);
    EXPECT_EQ(a.m_blend_constant_A, b.m_blend_constant_A);
    EXPECT_EQ(a.m_mapping_channel_id, b.m_mapping_channel_id);
    EXPECT_EQ(a.m_uvw, b.m_uvw);
    EXPECT_EQ(a.m_image_file_reference, b.m_image_file_reference);
}

inline void expectSameMaterial(const ON_Material& a, const ON_Material& b) {
    expectSameComponent(a, b);
    EXPECT_EQ(a.m_diffuse, b.m_diffuse);
    EXPECT_EQ(a.m_ambient, b.m_ambient);
    EXPECT_EQ(a.m_emission, b.m_emission);
    EXPECT_EQ(a.m_specular, b.m_specular);
    EXPECT_EQ(a.m_reflection, b.m_reflection);
    EXPECT_EQ(a.m_transparent, b.m_transparent);
    EXPECT_EQ(a.m_shine, b.m_shine);
    EXPECT_EQ(a.m_transparency, b.m_transparency);
    EXPECT_EQ(a.m_reflectivity, b.m_reflectivity);
    EXPECT_EQ(a.m_index_of_refraction, b.m_index_of_refraction);
    EXPECT_EQ(a.RdkMaterialInstanceId(), b.RdkMaterialInstanceId());
    expectSameEntries(a.m_textures.Count(), b.m_textures.Count(),
                      [&](int i) { expectSameTexture(a.m_textures[i], b.m_textures[i]); });
}

// The render content a material stands for, as each document holds it.
inline void expectSameContent(const CRhinoDoc& a, const CRhinoDoc& b, const ON_UUID& instanceId) {
    const CRhRdkContent* ca = a.RdkDocument().FindContentInstance(instanceId);
    const CRhRdkContent* cb = b.RdkDocument().FindContentInstance(instanceId);
    ASSERT_EQ(ca == nullptr, cb == nullptr);
    if (!ca)
        return;
    EXPECT_EQ(ca->TypeId(), cb->TypeId());
    EXPECT_EQ(ca->InstanceName(), cb->InstanceName());
}

inline void expectSameLayer(const ON_Layer& a, const ON_Layer& b) {
    expectSameComponent(a, b);
    EXPECT_EQ(a.ParentLayerId(), b.ParentLayerId());
    EXPECT_EQ(a.IsVisible(), b.IsVisible());
    EXPECT_EQ(a.IsLocked(), b.IsLocked());
    EXPECT_EQ(a.Color(), b.Color());
    EXPECT_EQ(a.RenderMaterialIndex(), b.RenderMaterialIndex());
}

inline void expectSameMapping(const ON_TextureMapping& a, const ON_TextureMapping& b) {
    expectSameComponent(a, b);
    EXPECT_EQ(a.m_type, b.m_type);
    EXPECT_EQ(a.m_projection, b.m_projection);
    EXPECT_EQ(a.m_texture_space, b.m_texture_space);
    EXPECT_EQ(a.m_bCapped, b.m_bCapped);
    EXPECT_EQ(a.m_Pxyz, b.m_Pxyz);
    EXPECT_EQ(a.m_Nxyz, b.m_Nxyz);
    EXPECT_EQ(a.m_uvw, b.m_uvw);
}

inline void expectSameBitmap(const ON_Bitmap& a, const ON_Bitmap& b) {
    expectSameComponent(a, b);
    EXPECT_EQ(a.m_file_reference, b.m_file_reference);
    ASSERT_EQ(a.SizeofImage(), b.SizeofImage());
    EXPECT_EQ(a.Width(), b.Width());
    EXPECT_EQ(a.Height(), b.Height());
    EXPECT_EQ(a.BitsPerPixel(), b.BitsPerPixel());
    EXPECT_EQ(0, std::memcmp(a.Bits(0), b.Bits(0), a.SizeofScan()));
}

inline void expectSameObject(const CRhinoObject& a, const CRhinoObject& b) {
    EXPECT_EQ(a.ObjectType(), b.ObjectType());
    EXPECT_TRUE(a.Attributes() == b.Attributes()) << "attributes of " << ON_UuidToString(a.Id()).ToUtf8();
    EXPECT_EQ(a.IsInstanceDefinitionGeometry(), b.IsInstanceDefinitionGeometry());
    const auto* ma = CRhinoMeshObject::Cast(&a);
    const auto* mb = CRhinoMeshObject::Cast(&b);
    ASSERT_EQ(ma == nullptr, mb == nullptr);
    if (ma)
        expectSameMesh(*ma->Mesh(), *mb->Mesh());
    const auto* ia = CRhinoInstanceObject::Cast(&a);
    const auto* ib = CRhinoInstanceObject::Cast(&b);
    ASSERT_EQ(ia == nullptr, ib == nullptr);
    if (ia) {
        EXPECT_EQ(ia->InstanceDefinitionId(), ib->InstanceDefinitionId());
        EXPECT_EQ(ia->InstanceXform(), ib->InstanceXform());
    }
    const auto& ra = a.RenderMeshes();
    const auto& rb = b.RenderMeshes();
    expectSameEntries(ra.size(), rb.size(), [&](size_t i) { expectSameMesh(*ra[i], *rb[i]); });
}

inline void expectSameDefinition(const CRhinoInstanceDefinition& a, const CRhinoInstanceDefinition& b) {
    expectSameComponent(a, b);
    EXPECT_EQ(a.Description(), b.Description());
    expectSameEntries(a.ObjectCount(), b.ObjectCount(), [&](int k) { expectSameObject(*a.Object(k), *b.Object(k)); });
}

inline void expectSameTables(const CRhinoDoc& a, const CRhinoDoc& b) {
    EXPECT_EQ(a.UnitSystem(), b.UnitSystem());
    const auto& la = a.m_layer_table;
    const auto& lb = b.m_layer_table;
    expectSameEntries(la.LayerCount(), lb.LayerCount(), [&](int i) { expectSameLayer(la[i], lb[i]); });
    const auto& ma = a.m_material_table;
    const auto& mb = b.m_material_table;
    expectSameEntries(ma.MaterialCount(), mb.MaterialCount(), [&](int i) {
        expectSameMaterial(ma[i], mb[i]);
        expectSameContent(a, b, ma[i].RdkMaterialInstanceId());
    });
    const auto& ta = a.m_texture_mapping_table;
    const auto& tb = b.m_texture_mapping_table;
    expectSameEntries(ta.TextureMappingCount(), tb.TextureMappingCount(),
                      [&](int i) { expectSameMapping(ta[i], tb[i]); });
    const auto& ba = a.m_bitmap_table;
    const auto& bb = b.m_bitmap_table;
    expectSameEntries(ba.BitmapCount(), bb.BitmapCount(),
                      [&](int i) { expectSameBitmap(*ba.Bitmap(i), *bb.Bitmap(i)); });
}

// The document's own objects: neither deleted nor block members.
inline std::vector<const CRhinoObject*> modelObjects(const CRhinoDoc& doc) {
    std::vector<const CRhinoObject*> objects;
    for (const CRhinoObject* o : doc.Objects())
        if (!o->IsDeleted() && !o->IsInstanceDefinitionGeometry())
            objects.push_back(o);
    return objects;
}

// Everything the format carries, in order.
inline void expectSameDocuments(const CRhinoDoc& a, const CRhinoDoc& b) {
    expectSameTables(a, b);
    const auto& da = a.m_instance_definition_table;
    const auto& db = b.m_instance_definition_table;
    expectSameEntries(da.InstanceDefinitionCount(), db.InstanceDefinitionCount(),
                      [&](int i) { expectSameDefinition(da[i], db[i]); });
    const std::vector<const CRhinoObject*> oa = modelObjects(a);
    const std::vector<const CRhinoObject*> ob = modelObjects(b);
    expectSameEntries(oa.size(), ob.size(), [&](size_t i) { expectSameObject(*oa[i], *ob[i]); });
    ON_SimpleArray<CRhinoView*> va;
    ON_SimpleArray<CRhinoView*> vb;
    a.GetViewList(va);
    b.GetViewList(vb);
    expectSameEntries(va.Count(), vb.Count(), [&](int i) {
        EXPECT_EQ(va[i]->Viewport().Name(), vb[i]->Viewport().Name());
        EXPECT_TRUE(va[i]->Viewport().VP() == vb[i]->Viewport().VP()) << "view " << i;
        EXPECT_EQ(va[i] == a.ActiveView(), vb[i] == b.ActiveView()) << "view " << i;
    });
}

}  // namespace vantro::test
