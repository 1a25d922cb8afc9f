#pragma once
// ON_Color: an 8-bit RGBA colour. As in the SDK, Alpha() is the transparency:
// 0 is opaque, 255 fully transparent.
//
// Thread-safety: a value type.

#include <cstdint>

class ON_Color {
public:
    ON_Color() = default;  // black, opaque
    // Components are clamped to [0, 255].
    ON_Color(int red, int green, int blue, int alpha = 0);

    int Red() const { return r_; }
    int Green() const { return g_; }
    int Blue() const { return b_; }
    int Alpha() const { return a_; }

    friend bool operator==(const ON_Color&, const ON_Color&) = default;

    static const ON_Color Black;
    static const ON_Color White;
    static const ON_Color Gray126;

private:
    uint8_t r_ = 0, g_ = 0, b_ = 0, a_ = 0;
};
