#pragma once
// Field-by-field comparison of two documents for the round-trip tests: every table
// entry and object the JSON format carries, in document order. Runtime serial numbers
// differ between documents and are not compared.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "sdk/on_uuid.h"
#include "sdk/rdk_document.h"
#include "sdk/rhino_doc.h"
#include "sdk/rhino_object.h"

namespace vantro::test {

inline void expectSameMesh(const ON_Mesh& a, const ON_Mesh& b) {
    EXPECT_TRUE(a.m_V == b.m_V);
    EXPECT_TRUE(a.m_F == b.m_F);
    EXPECT_TRUE(a.m_N == b.m_N);
    EXPECT_TRUE(a.m_FN == b.m_FN);
    EXPECT_TRUE(a.m_T == b.m_T);
}

inline void expectSameMaterial(const ON_Material& a, const ON_Material& b) {
    EXPECT_EQ(a.Id(), b.Id());
    EXPECT_EQ(a.Name(), b.Name());
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
    ASSERT_EQ(a.m_textures.Count(), b.m_textures.Count());
    for (int i = 0; i < a.m_textures.Count(); ++i) {
        const ON_Texture& ta = a.m_textures[i];
        const ON_Texture& tb = b.m_textures[i];
        EXPECT_EQ(ta.m_texture_id, tb.m_texture_id);
        EXPECT_EQ(ta.m_type, tb.m_type);
        EXPECT_EQ(ta.m_bOn, tb.m_bOn);
        EXPECT_EQ(ta.m_mode, tb.m_mode);
        EXPECT_EQ(ta.m_blend_constant_A, tb.m_blend_constant_A);
        EXPECT_EQ(ta.m_mapping_channel_id, tb.m_mapping_channel_id);
        EXPECT_EQ(ta.m_uvw, tb.m_uvw);
        EXPECT_EQ(ta.m_image_file_reference, tb.m_image_file_reference);
    }
}

inline void expectSameObject(const CRhinoObject& a, const CRhinoObject& b) {
    EXPECT_EQ(a.ObjectType(), b.ObjectType());
    EXPECT_TRUE(a.Attributes() == b.Attributes()) << "attributes of " << ON_UuidToString(a.Id()).ToUtf8();
    EXPECT_EQ(a.IsInstanceDefinitionGeometry(), b.IsInstanceDefinitionGeometry());
    const auto* ma = CRhinoMeshObject::Cast(&a);
    const auto* mb = CRhinoMeshObject::Cast(&b);
    ASSERT_EQ(ma == nullptr, mb == nullptr);
    if (ma) expectSameMesh(*ma->Mesh(), *mb->Mesh());
    const auto* ia = CRhinoInstanceObject::Cast(&a);
    const auto* ib = CRhinoInstanceObject::Cast(&b);
    ASSERT_EQ(ia == nullptr, ib == nullptr);
    if (ia) {
        EXPECT_EQ(ia->InstanceDefinitionId(), ib->InstanceDefinitionId());
        EXPECT_EQ(ia->InstanceXform(), ib->InstanceXform());
    }
    ASSERT_EQ(a.RenderMeshes().size(), b.RenderMeshes().size());
    for (size_t i = 0; i < a.RenderMeshes().size(); ++i) expectSameMesh(*a.RenderMeshes()[i], *b.RenderMeshes()[i]);
}

inline void expectSameTables(const CRhinoDoc& a, const CRhinoDoc& b) {
    EXPECT_EQ(a.UnitSystem(), b.UnitSystem());
    ASSERT_EQ(a.m_layer_table.LayerCount(), b.m_layer_table.LayerCount());
    for (int i = 0; i < a.m_layer_table.LayerCount(); ++i) {
        const ON_Layer& la = a.m_layer_table[i];
        const ON_Layer& lb = b.m_layer_table[i];
        EXPECT_EQ(la.Id(), lb.Id());
        EXPECT_EQ(la.Name(), lb.Name());
        EXPECT_EQ(la.ParentLayerId(), lb.ParentLayerId());
        EXPECT_EQ(la.IsVisible(), lb.IsVisible());
        EXPECT_EQ(la.IsLocked(), lb.IsLocked());
        EXPECT_EQ(la.Color(), lb.Color());
        EXPECT_EQ(la.RenderMaterialIndex(), lb.RenderMaterialIndex());
    }
    ASSERT_EQ(a.m_material_table.MaterialCount(), b.m_material_table.MaterialCount());
    for (int i = 0; i < a.m_material_table.MaterialCount(); ++i) {
        expectSameMaterial(a.m_material_table[i], b.m_material_table[i]);
        const ON_UUID& rdk = a.m_material_table[i].RdkMaterialInstanceId();
        const CRhRdkContent* ca = a.RdkDocument().FindContentInstance(rdk);
        const CRhRdkContent* cb = b.RdkDocument().FindContentInstance(rdk);
        ASSERT_EQ(ca == nullptr, cb == nullptr);
        if (ca) {
            EXPECT_EQ(ca->TypeId(), cb->TypeId());
            EXPECT_EQ(ca->InstanceName(), cb->InstanceName());
        }
    }
    ASSERT_EQ(a.m_texture_mapping_table.TextureMappingCount(), b.m_texture_mapping_table.TextureMappingCount());
    for (int i = 0; i < a.m_texture_mapping_table.TextureMappingCount(); ++i) {
        const ON_TextureMapping& ma = a.m_texture_mapping_table[i];
        const ON_TextureMapping& mb = b.m_texture_mapping_table[i];
        EXPECT_EQ(ma.Id(), mb.Id());
        EXPECT_EQ(ma.Name(), mb.Name());
        EXPECT_EQ(ma.m_type, mb.m_type);
        EXPECT_EQ(ma.m_projection, mb.m_projection);
        EXPECT_EQ(ma.m_texture_space, mb.m_texture_space);
        EXPECT_EQ(ma.m_bCapped, mb.m_bCapped);
        EXPECT_EQ(ma.m_Pxyz, mb.m_Pxyz);
        EXPECT_EQ(ma.m_Nxyz, mb.m_Nxyz);
        EXPECT_EQ(ma.m_uvw, mb.m_uvw);
    }
    ASSERT_EQ(a.m_bitmap_table.BitmapCount(), b.m_bitmap_table.BitmapCount());
    for (int i = 0; i < a.m_bitmap_table.BitmapCount(); ++i) {
        const ON_Bitmap& ba = *a.m_bitmap_table.Bitmap(i);
        const ON_Bitmap& bb = *b.m_bitmap_table.Bitmap(i);
        EXPECT_EQ(ba.Id(), bb.Id());
        EXPECT_EQ(ba.Name(), bb.Name());
        EXPECT_EQ(ba.m_file_reference, bb.m_file_reference);
        ASSERT_EQ(ba.SizeofImage(), bb.SizeofImage());
        EXPECT_EQ(ba.Width(), bb.Width());
        EXPECT_EQ(ba.Height(), bb.Height());
        EXPECT_EQ(ba.BitsPerPixel(), bb.BitsPerPixel());
        EXPECT_EQ(0, std::memcmp(ba.Bits(0), bb.Bits(0), ba.SizeofScan()));
    }
}

// Everything the format carries, in order.
inline void expectSameDocuments(const CRhinoDoc& a, const CRhinoDoc& b) {
    expectSameTables(a, b);
    const auto& ida = a.m_instance_definition_table;
    const auto& idb = b.m_instance_definition_table;
    ASSERT_EQ(ida.InstanceDefinitionCount(), idb.InstanceDefinitionCount());
    for (int i = 0; i < ida.InstanceDefinitionCount(); ++i) {
        EXPECT_EQ(ida[i].Id(), idb[i].Id());
        EXPECT_EQ(ida[i].Name(), idb[i].Name());
        EXPECT_EQ(ida[i].Description(), idb[i].Description());
        ASSERT_EQ(ida[i].ObjectCount(), idb[i].ObjectCount());
        for (int k = 0; k < ida[i].ObjectCount(); ++k) expectSameObject(*ida[i].Object(k), *idb[i].Object(k));
    }
    std::vector<const CRhinoObject*> oa;
    std::vector<const CRhinoObject*> ob;
    for (const CRhinoObject* o : a.Objects())
        if (!o->IsDeleted() && !o->IsInstanceDefinitionGeometry()) oa.push_back(o);
    for (const CRhinoObject* o : b.Objects())
        if (!o->IsDeleted() && !o->IsInstanceDefinitionGeometry()) ob.push_back(o);
    ASSERT_EQ(oa.size(), ob.size());
    for (size_t i = 0; i < oa.size(); ++i) expectSameObject(*oa[i], *ob[i]);
    ON_SimpleArray<CRhinoView*> va;
    ON_SimpleArray<CRhinoView*> vb;
    a.GetViewList(va);
    b.GetViewList(vb);
    ASSERT_EQ(va.Count(), vb.Count());
    for (int i = 0; i < va.Count(); ++i) {
        EXPECT_EQ(va[i]->Viewport().Name(), vb[i]->Viewport().Name());
        EXPECT_TRUE(va[i]->Viewport().VP() == vb[i]->Viewport().VP()) << "view " << i;
        EXPECT_EQ(va[i] == a.ActiveView(), vb[i] == b.ActiveView()) << "view " << i;
    }
}

}  // namespace vantro::test
