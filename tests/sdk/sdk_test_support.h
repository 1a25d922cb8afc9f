#pragma once
// Helpers for the SDK stand-in's tests: a watcher that records every event as a line
// of text, an idle watcher that counts, and small geometry builders.

#include <string>
#include <vector>

#include "sdk/rhino_sdk.h"

namespace vantro::sdktest {

inline std::string utf8(const ON_wString& s) { return s.ToUtf8(); }
inline std::string utf8(const char16_t* s) { return ON_wString(s).ToUtf8(); }

// Records each event as "Hook arguments"; object events name the runtime serial number.
class RecordingWatcher : public CRhinoEventWatcher {
public:
    RecordingWatcher() {
        Register();
        Enable(true);
    }
    std::vector<std::string> events;
    std::vector<std::string> take() {
        std::vector<std::string> out;
        out.swap(events);
        return out;
    }

    static std::string sn(const CRhinoObject& o) { return std::to_string(o.RuntimeSerialNumber()); }

    void OnInitRhino(CRhinoApp&) override { events.push_back("InitRhino"); }
    void OnCloseRhino(CRhinoApp&) override { events.push_back("CloseRhino"); }
    void OnCloseDocument(CRhinoDoc& d) override {
        events.push_back("CloseDocument " + std::to_string(d.RuntimeSerialNumber()));
    }
    void OnNewDocument(CRhinoDoc& d) override {
        events.push_back("NewDocument " + std::to_string(d.RuntimeSerialNumber()));
    }
    void OnActiveDocumentChanged(CRhinoDoc& d) override {
        events.push_back("ActiveDocumentChanged " + std::to_string(d.RuntimeSerialNumber()));
    }
    void OnBeginOpenDocument(CRhinoDoc&, const char16_t* f, bool merge, bool) override {
        events.push_back("BeginOpen " + utf8(f) + (merge ? " merge" : ""));
    }
    void OnEndOpenDocument(CRhinoDoc&, const char16_t* f, bool merge, bool) override {
        events.push_back("EndOpen " + utf8(f) + (merge ? " merge" : ""));
    }
    void OnBeginSaveDocument(CRhinoDoc&, const char16_t* f, bool selected) override {
        events.push_back("BeginSave " + utf8(f) + (selected ? " selected" : ""));
    }
    void OnEndSaveDocument(CRhinoDoc&, const char16_t* f, bool selected) override {
        events.push_back("EndSave " + utf8(f) + (selected ? " selected" : ""));
    }
    void OnSetActiveView(CRhinoView* v) override { events.push_back("SetActiveView " + utf8(v->Viewport().Name())); }
    void OnDocumentPropertiesChanged(CRhinoDoc&) override { events.push_back("DocumentPropertiesChanged"); }
    void OnUnitsChangedWithScaling(CRhinoDoc&, double s) override {
        events.push_back("UnitsChangedWithScaling " + std::to_string(s));
    }
    void OnBeginCommand(const CRhinoCommand&, const CRhinoCommandContext&) override {
        events.push_back("BeginCommand");
    }
    void OnEndCommand(const CRhinoCommand&, const CRhinoCommandContext&, int r) override {
        events.push_back("EndCommand " + std::to_string(r));
    }
    void OnCreateView(CRhinoView* v) override { events.push_back("CreateView " + utf8(v->Viewport().Name())); }
    void OnViewModified(CRhinoView* v) override { events.push_back("ViewModified " + utf8(v->Viewport().Name())); }
    void OnAddObject(CRhinoDoc&, CRhinoObject& o) override { events.push_back("AddObject " + sn(o)); }
    void OnDeleteObject(CRhinoDoc&, CRhinoObject& o) override { events.push_back("DeleteObject " + sn(o)); }
    void OnReplaceObject(CRhinoDoc&, CRhinoObject& a, CRhinoObject& b) override {
        events.push_back("ReplaceObject " + sn(a) + " " + sn(b));
    }
    void OnUnDeleteObject(CRhinoDoc&, CRhinoObject& o) override { events.push_back("UnDeleteObject " + sn(o)); }
    void OnPurgeObject(CRhinoDoc&, CRhinoObject& o) override { events.push_back("PurgeObject " + sn(o)); }
    void OnModifyObjectAttributes(CRhinoDoc&, CRhinoObject& o, const CRhinoObjectAttributes& old) override {
        events.push_back("ModifyObjectAttributes " + sn(o) + " oldLayer=" + std::to_string(old.m_layer_index) +
                         " oldMode=" + std::to_string(old.Mode()));
    }
    void OnUpdateObjectMesh(CRhinoDoc&, CRhinoObject& o) override { events.push_back("UpdateObjectMesh " + sn(o)); }
    void LayerTableEvent(layer_event e, const CRhinoLayerTable&, int index, const ON_Layer* old) override {
        events.push_back("Layer " + std::to_string(e) + " " + std::to_string(index) +
                         " old=" + (old ? utf8(old->Name()) : std::string("null")));
    }
    void IdefTableEvent(idef_event e, const CRhinoInstanceDefinitionTable&, int index,
                        const ON_InstanceDefinition* old) override {
        events.push_back("Idef " + std::to_string(e) + " " + std::to_string(index) +
                         " old=" + (old ? utf8(old->Name()) : std::string("null")));
    }
    void MaterialTableEvent(material_event e, const CRhinoMaterialTable&, int index, const ON_Material* old) override {
        events.push_back("Material " + std::to_string(e) + " " + std::to_string(index) +
                         " old=" + (old ? utf8(old->Name()) : std::string("null")));
    }
    void TextureMappingTableEvent(texture_mapping_event e, const CRhinoTextureMappingTable&, int index,
                                  const ON_TextureMapping* old) override {
        events.push_back("Mapping " + std::to_string(e) + " " + std::to_string(index) +
                         " old=" + (old ? utf8(old->Name()) : std::string("null")));
    }
};

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
