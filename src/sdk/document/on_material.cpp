#include "sdk/document/on_material.h"

#include <algorithm>
#include <cmath>

const ON_Material ON_Material::Default;

bool ON_Texture::IsValid() const {
    if (!m_uvw.IsValid() || !std::isfinite(m_blend_constant_A))
        return false;
    switch (m_type) {
        case no_texture_type:
        case bitmap_texture:
        case bump_texture:
        case transparency_texture:
        case emap_texture: return true;
    }
    return false;
}

void ON_Material::SetShine(double shine) { m_shine = std::clamp(shine, 0.0, MaxShine); }
void ON_Material::SetTransparency(double transparency) { m_transparency = std::clamp(transparency, 0.0, 1.0); }

int ON_Material::FindTexture(const char16_t* fileName, ON_Texture::TYPE type, int i0) const {
    const ON_wString wanted(fileName);
    for (int i = std::max(i0 + 1, 0); i < m_textures.Count(); ++i) {
        const ON_Texture& t = m_textures[i];
        if (t.m_type != type)
            continue;
        if (fileName && !t.m_image_file_reference.FullPath().EqualOrdinal(wanted, true))
            continue;
        return i;
    }
    return -1;
}

int ON_Material::AddTexture(const ON_Texture& texture) {
    m_textures.Append(texture);
    return m_textures.Count() - 1;
}

bool ON_Material::IsValid(ON_TextLog*) const {
    auto inUnit = [](double v) { return std::isfinite(v) && v >= 0.0 && v <= 1.0; };
    if (!std::isfinite(m_shine) || m_shine < 0.0 || m_shine > MaxShine)
        return false;
    if (!inUnit(m_transparency) || !inUnit(m_reflectivity))
        return false;
    if (!std::isfinite(m_index_of_refraction))
        return false;
    for (const ON_Texture& t : m_textures)
        if (!t.IsValid())
            return false;
    return true;
}
