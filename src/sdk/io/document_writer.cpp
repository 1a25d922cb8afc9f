#include "io/document_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <span>
#include <unordered_set>
#include <vector>

#include "io/base64.h"
#include "sdk/io/document_format.h"
#include "io/json_writer.h"
#include "sdk/render/rdk_document.h"
#include "sdk/app/rhino_app_settings.h"
#include "sdk/document/rhino_doc.h"
#include "sdk/document/rhino_object.h"

namespace vantro::docio {
namespace {

template <typename T>
std::span<const T> span(const ON_SimpleArray<T>& a) {
    return {a.Array(), static_cast<size_t>(a.Count())};
}

class Writer {
public:
    Writer(const CRhinoDoc& doc, const WriteOptions& options, std::string& out)
        : doc_(doc), options_(options), w_(out) {}

    void run() {
        numberTables();
        w_.beginObject();
        w_.key("format");
        w_.string(kFormatName);
        w_.key("version");
        w_.integer(kFormatVersion);
        w_.key("units");
        w_.beginObject();
        w_.key("length");
        w_.string(toWord(kUnitWords, doc_.UnitSystem()));
        w_.endObject();
        writeLayers();
        writeMaterials();
        writeRenderContents();
        writeMappings();
        writeBitmaps();
        writeDefinitions();
        writeObjects();
        writeViews();
        if (options_.appSettings)
            writeAppSettings(*options_.appSettings);
        w_.endObject();
    }

private:
    // --- numbering: deleted entries are left out, so indices are renumbered ---

    void numberTables() {
        const auto& layers = doc_.m_layer_table;
        layerIndex_.assign(static_cast<size_t>(layers.LayerCount()), -1);
        for (int i = 0, next = 0; i < layers.LayerCount(); ++i) {
            if (!layers[i].IsDeleted())
                layerIndex_[static_cast<size_t>(i)] = next++;
        }
        const auto& materials = doc_.m_material_table;
        materialIndex_.assign(static_cast<size_t>(materials.MaterialCount()), -1);
        for (int i = 0, next = 0; i < materials.MaterialCount(); ++i) {
            if (!materials[i].IsDeleted())
                materialIndex_[static_cast<size_t>(i)] = next++;
        }
        const auto& defs = doc_.m_instance_definition_table;
        for (int i = 0; i < defs.InstanceDefinitionCount(); ++i) {
            if (defs[i].IsDeleted())
                continue;
            ON_SimpleArray<const CRhinoObject*> members;
            defs[i].GetObjects(members);
            for (const CRhinoObject* m : members)
                liveMembers_.insert(m);
        }
    }

    static int renumber(const std::vector<int>& map, int index) {
        return index >= 0 && static_cast<size_t>(index) < map.size() ? map[static_cast<size_t>(index)] : -1;
    }

    // --- values ---

    void xform(const ON_Xform& x) {
        double m[16];
        for (int i = 0; i < 16; ++i)
            m[i] = x.m_xform[i / 4][i % 4];
        w_.numbers(std::span<const double>(m, 16));
    }

    void color(const ON_Color& c) {
        const int32_t rgb[3] = {c.Red(), c.Green(), c.Blue()};
        w_.integers(rgb);
    }

    void point(double x, double y, double z) {
        const double p[3] = {x, y, z};
        w_.numbers(std::span<const double>(p, 3));
    }

    void uuid(const ON_UUID& id) { w_.string(ON_UuidToString(id).view()); }

    void idAndName(const ON_ModelComponent& c) {
        w_.key("id");
        uuid(c.Id());
        w_.key("name");
        w_.string(c.Name().view());
    }

    // --- tables ---

    void writeLayers() {
        w_.key("layers");
        w_.beginArray();
        const auto& table = doc_.m_layer_table;
        for (int i = 0; i < table.LayerCount(); ++i) {
            const ON_Layer& l = table[i];
            if (l.IsDeleted())
                continue;
            w_.beginObject();
            idAndName(l);
            if (ON_UuidIsNotNil(l.ParentLayerId())) {
                w_.key("parentId");
                uuid(l.ParentLayerId());
            }
            w_.key("visible");
            w_.boolean(l.IsVisible());
            w_.key("locked");
            w_.boolean(l.IsLocked());
            w_.key("materialIndex");
            w_.integer(renumber(materialIndex_, l.RenderMaterialIndex()));
            w_.key("color");
            color(l.Color());
            w_.endObject();
        }
        w_.endArray();
    }

    void texture(const ON_Texture& t) {
        w_.beginObject();
        w_.key("id");
        uuid(t.m_texture_id);
        w_.key("type");
        w_.string(toWord(kTextureTypeWords, t.m_type));
        w_.key("filePath");
        w_.string(t.m_image_file_reference.FullPath().view());
        w_.key("relativePath");
        w_.string(t.m_image_file_reference.RelativePath().view());
        w_.key("on");
        w_.boolean(t.m_bOn);
        w_.key("uvwTransform");
        xform(t.m_uvw);
        w_.key("mappingChannel");
        w_.integer(static_cast<int32_t>(t.m_mapping_channel_id));  // -14 and -13 are channels too
        w_.key("mode");
        w_.string(toWord(kTextureModeWords, t.m_mode));
        w_.key("blendConstant");
        w_.number(t.m_blend_constant_A);
        w_.endObject();
    }

    void material(const ON_Material& m) {
        w_.beginObject();
        idAndName(m);
        const std::pair<const char*, const ON_Color*> colors[] = {
            {"diffuse", &m.m_diffuse},   {"ambient", &m.m_ambient},       {"emission", &m.m_emission},
            {"specular", &m.m_specular}, {"reflection", &m.m_reflection}, {"transparent", &m.m_transparent}};
        for (const auto& [name, c] : colors) {
            w_.key(name);
            color(*c);
        }
        w_.key("shine");
        w_.number(m.m_shine);
        w_.key("transparency");
        w_.number(m.m_transparency);
        w_.key("reflectivity");
        w_.number(m.m_reflectivity);
        w_.key("indexOfRefraction");
        w_.number(m.m_index_of_refraction);
        w_.key("renderMaterialInstanceId");
        uuid(m.RdkMaterialInstanceId());
        w_.key("textures");
        w_.beginArray();
        for (const ON_Texture& t : m.m_textures) {
            // Types the format has no word for cannot be written (nor read back).
            if (!toWord(kTextureTypeWords, t.m_type).empty())
                texture(t);
        }
        w_.endArray();
        w_.endObject();
    }

    void writeMaterials() {
        w_.key("materials");
        w_.beginArray();
        const auto& table = doc_.m_material_table;
        for (int i = 0; i < table.MaterialCount(); ++i) {
            if (!table[i].IsDeleted())
                material(table[i]);
        }
        w_.endArray();
    }

    // The document lists its render contents only by id, so the ones written are
    // those its written materials name: a deleted material's content would come back
    // as one no material uses, and the next write would drop it.
    void writeRenderContents() {
        w_.key("renderContents");
        w_.beginArray();
        std::unordered_set<ON_UUID, ON_UuidHash> written;
        const auto& table = doc_.m_material_table;
        for (int i = 0; i < table.MaterialCount(); ++i) {
            if (table[i].IsDeleted())
                continue;
            const ON_UUID& id = table[i].RdkMaterialInstanceId();
            const CRhRdkContent* content = doc_.RdkDocument().FindContentInstance(id);
            if (!content || !written.insert(id).second)
                continue;
            w_.beginObject();
            w_.key("id");
            uuid(content->InstanceId());
            w_.key("typeId");
            uuid(content->TypeId());
            w_.key("name");
            w_.string(content->InstanceName().view());
            w_.endObject();
        }
        w_.endArray();
    }

    void writeMappings() {
        w_.key("textureMappings");
        w_.beginArray();
        const auto& table = doc_.m_texture_mapping_table;
        for (int i = 0; i < table.TextureMappingCount(); ++i) {
            const ON_TextureMapping& m = table[i];
            if (m.IsDeleted())
                continue;
            w_.beginObject();
            idAndName(m);
            w_.key("type");
            w_.string(toWord(kMappingTypeWords, m.m_type));
            w_.key("projection");
            w_.string(toWord(kProjectionWords, m.m_projection));
            w_.key("textureSpace");
            w_.string(toWord(kTextureSpaceWords, m.m_texture_space));
            w_.key("capped");
            w_.boolean(m.m_bCapped);
            w_.key("pointTransform");
            xform(m.m_Pxyz);
            w_.key("normalTransform");
            xform(m.m_Nxyz);
            w_.key("uvwTransform");
            xform(m.m_uvw);
            w_.endObject();
        }
        w_.endArray();
    }

    void writeBitmaps() {
        w_.key("bitmaps");
        w_.beginArray();
        const auto& table = doc_.m_bitmap_table;
        for (int i = 0; i < table.BitmapCount(); ++i) {
            const ON_Bitmap* b = table.Bitmap(i);
            if (!b || b->IsEmpty())
                continue;
            std::vector<uint8_t> pixels;
            pixels.reserve(b->SizeofImage());
            const int rows = b->Height() < 0 ? -b->Height() : b->Height();
            for (int r = 0; r < rows; ++r)
                pixels.insert(pixels.end(), b->Bits(r), b->Bits(r) + b->SizeofScan());
            w_.beginObject();
            idAndName(*b);
            w_.key("filePath");
            w_.string(b->m_file_reference.FullPath().view());
            w_.key("width");
            w_.integer(b->Width());
            w_.key("height");
            w_.integer(b->Height());
            w_.key("bitsPerPixel");
            w_.integer(b->BitsPerPixel());
            w_.key("pixels");
            w_.string(encodeBase64(pixels.data(), pixels.size()));
            w_.endObject();
        }
        w_.endArray();
    }

    void writeDefinitions() {
        w_.key("instanceDefinitions");
        w_.beginArray();
        const auto& table = doc_.m_instance_definition_table;
        for (int i = 0; i < table.InstanceDefinitionCount(); ++i) {
            const CRhinoInstanceDefinition& def = table[i];
            if (def.IsDeleted())
                continue;
            w_.beginObject();
            idAndName(def);
            w_.key("description");
            w_.string(def.Description().view());
            w_.key("objects");
            w_.beginArray();
            ON_SimpleArray<const CRhinoObject*> members;
            def.GetObjects(members);
            for (const CRhinoObject* m : members)
                uuid(m->Id());
            w_.endArray();
            w_.endObject();
        }
        w_.endArray();
    }

    // --- objects ---

    void mesh(const ON_Mesh& m) {
        w_.beginObject();
        w_.key("vertices");
        w_.flatten<float>(span(m.m_V));
        w_.key("faces");
        w_.flatten<int32_t>(span(m.m_F));
        if (m.m_N.Count() > 0) {
            w_.key("normals");
            w_.flatten<float>(span(m.m_N));
        }
        if (m.m_FN.Count() > 0) {
            w_.key("faceNormals");
            w_.flatten<float>(span(m.m_FN));
        }
        if (m.m_T.Count() > 0) {
            w_.key("textureCoordinates");
            w_.flatten<float>(span(m.m_T));
        }
        w_.endObject();
    }

    void mappings(const ON_ObjectRenderingAttributes& rendering) {
        w_.beginArray();
        for (const ON_MappingRef& ref : rendering.m_mappings) {
            w_.beginObject();
            w_.key("pluginId");
            uuid(ref.m_plugin_id);
            w_.key("channels");
            w_.beginArray();
            for (const ON_MappingChannel& ch : ref.m_mapping_channels) {
                w_.beginObject();
                w_.key("channel");
                w_.integer(ch.m_mapping_channel_id);
                w_.key("mappingId");
                uuid(ch.m_mapping_id);
                w_.key("objectTransform");
                xform(ch.m_object_xform);
                w_.endObject();
            }
            w_.endArray();
            w_.endObject();
        }
        w_.endArray();
    }

    void attributes(const ON_3dmObjectAttributes& a) {
        w_.beginObject();
        w_.key("layer");
        w_.integer(renumber(layerIndex_, a.m_layer_index));
        w_.key("materialSource");
        w_.string(toWord(kMaterialSourceWords, a.MaterialSource()));
        w_.key("materialIndex");
        w_.integer(renumber(materialIndex_, a.m_material_index));
        w_.key("visible");
        w_.boolean(a.IsVisible());
        w_.key("mode");
        w_.string(toWord(kModeWords, a.Mode()));
        w_.key("mappings");
        mappings(a.m_rendering_attributes);
        w_.endObject();
    }

    void object(const CRhinoObject& o) {
        std::string_view type = toWord(kObjectTypeWords, static_cast<unsigned int>(o.ObjectType()));
        if (type.empty())
            type = "other";
        w_.beginObject();
        w_.key("id");
        uuid(o.Id());
        w_.key("name");
        w_.string(o.Attributes().m_name.view());
        w_.key("type");
        w_.string(type);
        w_.key("attributes");
        attributes(o.Attributes());
        if (const CRhinoMeshObject* meshObject = CRhinoMeshObject::Cast(&o)) {
            w_.key("mesh");
            mesh(*meshObject->Mesh());
        } else if (const CRhinoInstanceObject* ref = CRhinoInstanceObject::Cast(&o)) {
            w_.key("instance");
            w_.beginObject();
            w_.key("definition");
            uuid(ref->InstanceDefinitionId());
            w_.key("transform");
            xform(ref->InstanceXform());
            w_.endObject();
        } else {
            w_.key("renderMeshes");
            w_.beginArray();
            for (const auto& renderMesh : o.RenderMeshes())
                mesh(*renderMesh);
            w_.endArray();
        }
        w_.endObject();
    }

    bool written(const CRhinoObject& o) const {
        if (o.IsDeleted())
            return false;
        if (o.IsInstanceDefinitionGeometry())
            return liveMembers_.count(&o) > 0;
        return !options_.selectedOnly || o.IsSelected();
    }

    void writeObjects() {
        w_.key("objects");
        w_.beginArray();
        for (const CRhinoObject* o : doc_.Objects()) {
            if (written(*o))
                object(*o);
        }
        w_.endArray();
    }

    // --- views and settings ---

    void view(const CRhinoView& v) {
        const ON_Viewport& vp = v.Viewport().VP();
        w_.beginObject();
        w_.key("name");
        w_.string(v.Viewport().Name().view());
        w_.key("projection");
        w_.string(toWord(kViewProjectionWords, vp.Projection()));
        const ON_3dPoint location = vp.CameraLocation();
        const ON_3dVector direction = vp.CameraDirection();
        const ON_3dVector up = vp.CameraUp();
        const ON_3dPoint target = vp.TargetPoint();
        w_.key("cameraLocation");
        point(location.x, location.y, location.z);
        w_.key("cameraDirection");
        point(direction.x, direction.y, direction.z);
        w_.key("cameraUp");
        point(up.x, up.y, up.z);
        w_.key("target");
        point(target.x, target.y, target.z);
        double f[6] = {};
        vp.GetFrustum(&f[0], &f[1], &f[2], &f[3], &f[4], &f[5]);
        w_.key("frustum");
        w_.numbers(std::span<const double>(f, 6));
        int port[4] = {};
        vp.GetScreenPort(&port[0], &port[1], &port[2], &port[3]);
        w_.key("screenPort");
        const int32_t p[4] = {port[0], port[1], port[2], port[3]};
        w_.integers(p);
        w_.endObject();
    }

    void writeViews() {
        ON_SimpleArray<CRhinoView*> views;
        doc_.GetViewList(views);
        int active = -1;
        w_.key("views");
        w_.beginArray();
        for (int i = 0; i < views.Count(); ++i) {
            view(*views[i]);
            if (views[i] == doc_.ActiveView())
                active = i;
        }
        w_.endArray();
        w_.key("activeView");
        w_.integer(active);
    }

    void writeAppSettings(const CRhinoAppSettings& s) {
        w_.key("appSettings");
        w_.beginObject();
        w_.key("defaultMaterial");
        material(s.DefaultMaterial());
        w_.key("autoSaveFile");
        w_.string(s.FileSettings().AutoSaveFile().view());
        w_.key("autoSaveEnabled");
        w_.boolean(s.FileSettings().AutoSaveEnabled());
        w_.key("searchPaths");
        w_.beginArray();
        for (const ON_wString& p : s.FileSettings().SearchPaths())
            w_.string(p.view());
        w_.endArray();
        w_.endObject();
    }

    const CRhinoDoc& doc_;
    const WriteOptions& options_;
    JsonWriter w_;
    std::vector<int> layerIndex_;
    std::vector<int> materialIndex_;
    std::unordered_set<const CRhinoObject*> liveMembers_;
};

}  // namespace

std::string writeDocumentJson(const CRhinoDoc& doc, const WriteOptions& options) {
    std::string out;
    Writer(doc, options, out).run();
    out.push_back('\n');
    return out;
}

bool writeDocumentFile(const CRhinoDoc& doc, const std::string& path, const WriteOptions& options, std::string& error) {
    const std::string text = writeDocumentJson(doc, options);
    const std::string temporary = path + ".writing";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) {
        error = std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const int savedErrno = errno;
    const bool closed = std::fclose(file) == 0;
    std::error_code ec;
    if (!written || !closed) {
        error = std::strerror(written ? errno : savedErrno);
        std::filesystem::remove(temporary, ec);
        return false;
    }
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        error = ec.message();
        std::filesystem::remove(temporary, ec);
        return false;
    }
    return true;
}

}  // namespace vantro::docio
