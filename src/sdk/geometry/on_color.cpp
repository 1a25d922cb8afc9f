#include "sdk/geometry/on_color.h"

#include <algorithm>

namespace {
uint8_t clampComponent(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }
}  // namespace

const ON_Color ON_Color::Black(0, 0, 0);
const ON_Color ON_Color::White(255, 255, 255);
const ON_Color ON_Color::Gray126(126, 126, 126);

ON_Color::ON_Color(int red, int green, int blue, int alpha)
    : r_(clampComponent(red)), g_(clampComponent(green)), b_(clampComponent(blue)), a_(clampComponent(alpha)) {}
