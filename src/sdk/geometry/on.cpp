#include "sdk/geometry/on.h"

namespace {

// Metres per unit; 0 for units without a defined size. long double keeps the
// quotient of two entries correctly rounded once it is narrowed to double, so exact
// conversions (inches to millimetres = 25.4) come out exact.
long double metresPer(ON::LengthUnitSystem units) {
    using U = ON::LengthUnitSystem;
    switch (units) {
        case U::Angstroms: return 1.0e-10L;
        case U::Nanometers: return 1.0e-9L;
        case U::Microns: return 1.0e-6L;
        case U::Millimeters: return 1.0e-3L;
        case U::Centimeters: return 1.0e-2L;
        case U::Decimeters: return 1.0e-1L;
        case U::Meters: return 1.0L;
        case U::Dekameters: return 1.0e1L;
        case U::Hectometers: return 1.0e2L;
        case U::Kilometers: return 1.0e3L;
        case U::Megameters: return 1.0e6L;
        case U::Gigameters: return 1.0e9L;
        case U::Microinches: return 2.54e-8L;
        case U::Mils: return 2.54e-5L;
        case U::Inches: return 0.0254L;
        case U::Feet: return 0.3048L;
        case U::Yards: return 0.9144L;
        case U::Miles: return 1609.344L;
        case U::NauticalMiles: return 1852.0L;
        case U::AstronomicalUnits: return 1.495978707e11L;
        case U::LightYears: return 9.4607304725808e15L;
        case U::Parsecs: return 3.0856775814913673e16L;
        case U::None:
        case U::CustomUnits:
        case U::Unset: return 0.0L;
    }
    return 0.0L;
}

}  // namespace

double ON::UnitScale(LengthUnitSystem from, LengthUnitSystem to) {
    if (from == to)
        return 1.0;
    const long double a = metresPer(from);
    const long double b = metresPer(to);
    if (a == 0.0L || b == 0.0L)
        return 1.0;
    return static_cast<double>(a / b);
}
