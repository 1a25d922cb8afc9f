#pragma once
// The kind of surface a material is, as the renderer understands it, and the rules
// that recognise water by name. The value travels as a signed 32-bit integer.

#include <cstdint>
#include <string>
#include <string_view>

enum class MaterialType : int32_t {
    none = 0,
    water = 1,
    glass = 2,
    landscape = 3,
    standard = 4,
    color = 5,
    billboard = 6,
    invisible = 7,
    lightmap = 8,
    waterfall = 9,
};

// The renderer's word for type ("water", "glass", ...); fallback for none and for any
// value outside 1..9. Any thread.
std::u16string MaterialTypeName(MaterialType type, std::u16string_view fallback);

// True when name names water: it contains one of the water keywords in any letter
// case, or one of its words is "eau" (the short keyword alone would match "Plateau").
// Letter case and words follow caseless_text.h, so non-Latin names work too. Any
// thread.
bool IsWaterName(std::u16string_view name);

// The RDK content type of glass materials, as UUID text.
constexpr const char* kGlassTypeId = "51b4af08-9dec-4744-86f9-546fbacb800d";
