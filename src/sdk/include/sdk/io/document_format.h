#pragma once
// The words of the host's JSON document format (docs/document-format.md) and the SDK
// values they stand for, shared by the reader and the writer so that both always
// agree. Lookups are linear: every table is short.

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "sdk/meshing/triangle_mesh.h"
#include "sdk/geometry/on.h"
#include "sdk/document/on_texture.h"
#include "sdk/geometry/on_texture_mapping.h"

namespace vantro::docio {

inline constexpr std::string_view kFormatName = "vantro-document";
inline constexpr int kFormatVersion = 1;

template <typename T>
struct Word {
    std::string_view text;
    T value;
};

template <typename T, size_t N>
std::optional<T> fromWord(const std::array<Word<T>, N>& words, std::string_view text) {
    for (const auto& w : words) {
        if (w.text == text)
            return w.value;
    }
    return std::nullopt;
}

// The word for value; empty when the table has none (the writer then refuses).
template <typename T, size_t N>
std::string_view toWord(const std::array<Word<T>, N>& words, T value) {
    for (const auto& w : words) {
        if (w.value == value)
            return w.text;
    }
    return {};
}

// "a, b or c", for messages that list what is allowed.
template <typename T, size_t N>
std::string wordList(const std::array<Word<T>, N>& words) {
    std::string out;
    for (size_t i = 0; i < N; ++i) {
        if (i > 0)
            out += i + 1 == N ? " or " : ", ";
        out += words[i].text;
    }
    return out;
}

using Units = ON::LengthUnitSystem;
inline constexpr std::array<Word<Units>, 24> kUnitWords{{
    {"none", Units::None},
    {"angstroms", Units::Angstroms},
    {"nanometers", Units::Nanometers},
    {"microns", Units::Microns},
    {"millimeters", Units::Millimeters},
    {"centimeters", Units::Centimeters},
    {"decimeters", Units::Decimeters},
    {"meters", Units::Meters},
    {"dekameters", Units::Dekameters},
    {"hectometers", Units::Hectometers},
    {"kilometers", Units::Kilometers},
    {"megameters", Units::Megameters},
    {"gigameters", Units::Gigameters},
    {"microinches", Units::Microinches},
    {"mils", Units::Mils},
    {"inches", Units::Inches},
    {"feet", Units::Feet},
    {"yards", Units::Yards},
    {"miles", Units::Miles},
    {"nauticalMiles", Units::NauticalMiles},
    {"astronomicalUnits", Units::AstronomicalUnits},
    {"lightYears", Units::LightYears},
    {"parsecs", Units::Parsecs},
    {"custom", Units::CustomUnits},
}};

// Object types by their ON::object_type bit. Types the SDK's enumeration does not
// name (detail, hatch, clip plane) keep their host values.
inline constexpr std::array<Word<unsigned int>, 16> kObjectTypeWords{{
    {"other", ON::unknown_object_type},
    {"point", ON::point_object},
    {"pointCloud", ON::pointset_object},
    {"curve", ON::curve_object},
    {"surface", ON::surface_object},
    {"brep", ON::brep_object},
    {"mesh", ON::mesh_object},
    {"light", ON::light_object},
    {"annotation", ON::annotation_object},
    {"instanceReference", ON::instance_reference},
    {"textDot", ON::text_dot},
    {"detail", 0x8000u},
    {"hatch", 0x10000u},
    {"subd", ON::subd_object},
    {"clipPlane", 0x20000000u},
    {"extrusion", ON::extrusion_object},
}};

inline constexpr std::array<Word<ON::object_material_source>, 3> kMaterialSourceWords{{
    {"layer", ON::material_from_layer},
    {"object", ON::material_from_object},
    {"parent", ON::material_from_parent},
}};

inline constexpr std::array<Word<meshing::MeshSettings::Preset>, 2> kMeshPresetWords{{
    {"coarse", meshing::MeshSettings::Preset::coarse},
    {"smooth", meshing::MeshSettings::Preset::smooth},
}};

inline constexpr std::array<Word<ON::object_mode>, 4> kModeWords{{
    {"normal", ON::normal_object},
    {"hidden", ON::hidden_object},
    {"locked", ON::locked_object},
    {"instanceDefinition", ON::idef_object},
}};

inline constexpr std::array<Word<ON_Texture::TYPE>, 4> kTextureTypeWords{{
    {"bitmap", ON_Texture::bitmap_texture},
    {"bump", ON_Texture::bump_texture},
    {"transparency", ON_Texture::transparency_texture},
    {"environment", ON_Texture::emap_texture},
}};

inline constexpr std::array<Word<ON_Texture::MODE>, 4> kTextureModeWords{{
    {"none", ON_Texture::no_texture_mode},
    {"modulate", ON_Texture::modulate_texture},
    {"decal", ON_Texture::decal_texture},
    {"blend", ON_Texture::blend_texture},
}};

using MappingType = ON_TextureMapping::TYPE;
inline constexpr std::array<Word<MappingType>, 13> kMappingTypeWords{{
    {"none", MappingType::no_mapping},
    {"surfaceParameter", MappingType::srfp_mapping},
    {"plane", MappingType::plane_mapping},
    {"cylinder", MappingType::cylinder_mapping},
    {"sphere", MappingType::sphere_mapping},
    {"box", MappingType::box_mapping},
    {"meshPrimitive", MappingType::mesh_mapping_primitive},
    {"surfacePrimitive", MappingType::srf_mapping_primitive},
    {"brepPrimitive", MappingType::brep_mapping_primitive},
    {"objectCoordinates", MappingType::ocs_mapping},
    {"falseColors", MappingType::false_colors},
    {"worldProjection", MappingType::wcs_projection},
    {"worldBoxProjection", MappingType::wcsbox_projection},
}};

using MappingProjection = ON_TextureMapping::PROJECTION;
inline constexpr std::array<Word<MappingProjection>, 3> kProjectionWords{{
    {"none", MappingProjection::no_projection},
    {"closestPoint", MappingProjection::clspt_projection},
    {"ray", MappingProjection::ray_projection},
}};

using TextureSpace = ON_TextureMapping::TEXTURE_SPACE;
inline constexpr std::array<Word<TextureSpace>, 2> kTextureSpaceWords{{
    {"single", TextureSpace::single},
    {"divided", TextureSpace::divided},
}};

inline constexpr std::array<Word<ON::view_projection>, 2> kViewProjectionWords{{
    {"perspective", ON::perspective_view},
    {"parallel", ON::parallel_view},
}};

}  // namespace vantro::docio
