#include "sdk/render/rdk_content.h"

#include "sdk_internal.h"

namespace {

template <class T>
void add(uint32_t& crc, const T& value) {
    crc = vantro::sdk::crc32(crc, &value, sizeof value);
}

void add(uint32_t& crc, const ON_Color& c) {
    const int parts[4] = {c.Red(), c.Green(), c.Blue(), c.Alpha()};
    crc = vantro::sdk::crc32(crc, parts, sizeof parts);
}

void add(uint32_t& crc, const ON_wString& text) {
    crc = vantro::sdk::crc32(crc, text.Array(), sizeof(char16_t) * static_cast<size_t>(text.Length()));
    add(crc, text.Length());
}

}  // namespace

const ON_UUID CRhRdkMaterial::BasicMaterialTypeId = ON_UuidFromString(u"ba51ce00-ba51-ce00-ba51-ce00ba51ce00");

CRhRdkContent::CRhRdkContent(const ON_UUID& instanceId, const ON_UUID& typeId, const ON_wString& name)
    : instanceId_(instanceId), typeId_(typeId), name_(name) {}

unsigned int CRhRdkContent::RenderCRC(const CRenderCRCFlags&) const {
    uint32_t crc = 0;
    add(crc, typeId_);
    return crc;
}

CRhRdkMaterial::CRhRdkMaterial(const ON_UUID& instanceId, const ON_UUID& typeId, const ON_Material& material)
    : CRhRdkContent(instanceId, typeId, material.Name()), material_(material) {}

unsigned int CRhRdkMaterial::RenderCRC(const CRenderCRCFlags&) const {
    const ON_Material& m = material_;
    uint32_t crc = 0;
    add(crc, TypeId());
    for (const ON_Color& c : {m.m_ambient, m.m_diffuse, m.m_emission, m.m_specular, m.m_reflection, m.m_transparent})
        add(crc, c);
    for (double d : {m.m_index_of_refraction, m.m_reflectivity, m.m_shine, m.m_transparency})
        add(crc, d);
    for (const ON_Texture& t : m.m_textures) {
        add(crc, t.m_type);
        add(crc, t.m_bOn);
        add(crc, t.m_mode);
        add(crc, t.m_mapping_channel_id);
        add(crc, t.m_blend_constant_A);
        add(crc, t.m_uvw.m_xform);
        add(crc, t.m_image_file_reference.FullPath());
        add(crc, t.m_image_file_reference.RelativePath());
    }
    return crc;
}

CRhRdkMaterial* RhRdkNewBasicMaterial(const ON_Material& material, const CRhinoDoc*) {
    return new CRhRdkMaterial(ON_CreateUuid(), CRhRdkMaterial::BasicMaterialTypeId, material);
}

std::unique_ptr<CRhRdkContent> CRhRdkContent::Clone() const {
    return std::make_unique<CRhRdkContent>(instanceId_, typeId_, name_);
}

std::unique_ptr<CRhRdkContent> CRhRdkMaterial::Clone() const {
    return std::make_unique<CRhRdkMaterial>(InstanceId(), TypeId(), material_);
}
