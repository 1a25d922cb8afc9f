#include "materials/material_info.h"

namespace {

std::atomic<uint32_t> constructionCounter{0};

}  // namespace

MaterialInfo::MaterialInfo() : id(int64_t(int32_t(constructionCounter.fetch_add(1) + 1))) {}

uint32_t PackColor(uint8_t red, uint8_t green, uint8_t blue, double alpha) {
    if (!(alpha >= 0.0))  // also NaN
        alpha = 0.0;
    if (alpha > 1.0)
        alpha = 1.0;
    const uint32_t a = uint32_t(alpha * 255.0);
    return a << 24 | uint32_t(red) << 16 | uint32_t(green) << 8 | uint32_t(blue);
}
