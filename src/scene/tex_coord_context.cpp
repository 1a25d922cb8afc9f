#include "tex_coord_context.h"

#include "materials/material_info.h"
#include "sdk/render/rdk_texture.h"
#include "sdk/app/rhino_app.h"
#include "sdk/document/rhino_doc.h"
#include "sdk/document/rhino_object.h"

namespace {

ON_Xform toXform(const TextureTransform& t) {
    double m[4][4];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            m[i][j] = t[static_cast<size_t>(4 * i + j)];
    return ON_Xform(m);
}

}  // namespace

TexCoordContext::TexCoordContext(CRhinoDoc* document) : pluginId(RhinoApp().GetDefaultRenderApp()), doc(document) {}

void TexCoordContext::Reset() {
    channel = 0;
    mappingChannel = nullptr;
    cached = nullptr;
    mesh = nullptr;
    meshCopy.reset();
    transform = ON_Xform();
}

void TexCoordContext::SetMaterial(const CRhinoObject* object, const MaterialInfo* material) {
    Reset();
    if (!object || !material)
        return;
    channel = static_cast<int32_t>(material->textureChannel);
    if (!material->HasTexture())
        return;
    if (channel != 0) {
        const ON_MappingRef* ref = object->Attributes().m_rendering_attributes.MappingRef(pluginId);
        mappingChannel = ref ? ref->MappingChannel(channel) : nullptr;
        transform = toXform(material->textureTransform);
    }
}

void TexCoordContext::PrepareMesh(const ON_Mesh* m) {
    mesh = m;
    meshCopy.reset();
    cached = nullptr;
    if (mappingChannel && m && doc) {
        meshCopy = std::make_unique<ON_Mesh>(*m);
        cached = doc->m_texture_mapping_table.CachedTextureCoordinates(mappingChannel, meshCopy.get());
    }
    if (channel == kWorldProjection || channel == kWorldBoxProjection)
        enabled = 1;
    else if (channel != 0)
        enabled = (cached || mesh) ? 1 : 0;
    else
        enabled = (mesh && mesh->HasTextureCoordinates() && mesh->m_T.Count() == mesh->VertexCount()) ? 1 : 0;
}

ON_2fPoint TexCoordContext::TexCoordAt(int i, const ON_3fPoint* p, const ON_3fVector* n) const {
    ON_3dPoint q;
    if (enabled && channel != 0) {
        bool have = false;
        if (channel == kWorldProjection) {
            if (p)
                q = ON_3dPoint(*p), have = true;
        } else if (channel == kWorldBoxProjection) {
            if (p && n)
                q = CRhRdkTexture::WcsBoxMapping(ON_3dPoint(*p), ON_3dVector(*n)), have = true;
        } else if (cached) {
            if (const ON_3fPoint* t = cached->m_T.At(i))
                q = ON_3dPoint(*t), have = true;
        } else if (mesh) {
            if (const ON_2fPoint* t = mesh->m_T.At(i))
                q = ON_3dPoint(t->x, t->y, 0.0), have = true;
        }
        if (have)
            q = transform * q;
    } else if (enabled && mesh) {
        if (const ON_2fPoint* t = mesh->m_T.At(i))
            q = ON_3dPoint(t->x, t->y, 0.0);
    }
    return ON_2fPoint(static_cast<float>(q.x), static_cast<float>(1.0 - q.y));
}
