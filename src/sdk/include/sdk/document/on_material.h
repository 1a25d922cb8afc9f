#pragma once
// ON_Material: a render material: colours, shine, transparency, reflectivity, its
// textures, and the id of the RDK content that renders it (nil when none).
//
// Ranges: shine in [0, MaxShine], transparency and reflectivity in [0, 1]. Colours
// keep their alpha but the material's transparency is what renders.
// Thread-safety: a value type.

#include "sdk/geometry/on_array.h"
#include "sdk/geometry/on_color.h"
#include "sdk/document/on_model_component.h"
#include "sdk/document/on_texture.h"

class ON_TextLog;

class ON_Material : public ON_ModelComponent {
public:
    static constexpr double MaxShine = 255.0;

    ON_Color m_ambient = ON_Color(0, 0, 0);
    ON_Color m_diffuse = ON_Color(128, 128, 128);
    ON_Color m_emission = ON_Color(0, 0, 0);
    ON_Color m_specular = ON_Color(255, 255, 255);
    ON_Color m_reflection = ON_Color(255, 255, 255);
    ON_Color m_transparent = ON_Color(255, 255, 255);
    double m_index_of_refraction = 1.0;
    double m_reflectivity = 0.0;
    double m_shine = 0.0;
    double m_transparency = 0.0;
    ON_ObjectArray<ON_Texture> m_textures;

    // The plain grey, non-shiny material.
    static const ON_Material Default;

    ON_Color Diffuse() const { return m_diffuse; }
    ON_Color Specular() const { return m_specular; }
    double Shine() const { return m_shine; }
    double Transparency() const { return m_transparency; }
    void SetDiffuse(const ON_Color& c) { m_diffuse = c; }
    void SetSpecular(const ON_Color& c) { m_specular = c; }
    void SetShine(double shine);                // clamped to [0, MaxShine]
    void SetTransparency(double transparency);  // clamped to [0, 1]

    // Index of the first texture after index i0 (-1 starts at the beginning) whose
    // type is `type` and, when fileName is not null, whose full path equals fileName
    // (ordinal, case-insensitive for ASCII). -1 when none.
    int FindTexture(const char16_t* fileName, ON_Texture::TYPE type, int i0 = -1) const;
    // Appends a texture and returns its index.
    int AddTexture(const ON_Texture& texture);

    const ON_UUID& RdkMaterialInstanceId() const { return rdkInstanceId_; }
    void SetRdkMaterialInstanceId(const ON_UUID& id) { rdkInstanceId_ = id; }
    bool RdkMaterialInstanceIdIsNotNil() const { return ON_UuidIsNotNil(rdkInstanceId_); }

    // Numbers finite and in range, textures valid. The log is not written (it exists
    // for the SDK's signature). Never throws.
    bool IsValid(ON_TextLog* log = nullptr) const;

private:
    ON_UUID rdkInstanceId_;
};
