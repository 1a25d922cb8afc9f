// ON::UnitScale: the conversion table between length units.

#include <gtest/gtest.h>

#include "sdk/geometry/on.h"

using U = ON::LengthUnitSystem;

// Conversions between common units are exact where the definitions are exact.
TEST(OnUnits, ScaleTable) {
    EXPECT_EQ(ON::UnitScale(U::Millimeters, U::Meters), 0.001);
    EXPECT_EQ(ON::UnitScale(U::Centimeters, U::Meters), 0.01);
    EXPECT_EQ(ON::UnitScale(U::Meters, U::Millimeters), 1000.0);
    EXPECT_EQ(ON::UnitScale(U::Inches, U::Millimeters), 25.4);
    EXPECT_EQ(ON::UnitScale(U::Inches, U::Meters), 0.0254);
    EXPECT_EQ(ON::UnitScale(U::Feet, U::Meters), 0.3048);
    EXPECT_EQ(ON::UnitScale(U::Feet, U::Inches), 12.0);
    EXPECT_EQ(ON::UnitScale(U::Yards, U::Feet), 3.0);
    EXPECT_EQ(ON::UnitScale(U::Miles, U::Feet), 5280.0);
    EXPECT_EQ(ON::UnitScale(U::Kilometers, U::Meters), 1000.0);
    EXPECT_EQ(ON::UnitScale(U::Microns, U::Millimeters), 0.001);
    EXPECT_EQ(ON::UnitScale(U::Mils, U::Inches), 0.001);
    EXPECT_EQ(ON::UnitScale(U::NauticalMiles, U::Meters), 1852.0);
    EXPECT_DOUBLE_EQ(ON::UnitScale(U::Parsecs, U::LightYears), 3.261563777167433);
    EXPECT_DOUBLE_EQ(ON::UnitScale(U::AstronomicalUnits, U::Kilometers), 149597870.7);
}

// Units without a defined size convert with 1, as does a unit to itself.
TEST(OnUnits, UndefinedUnitsScaleByOne) {
    EXPECT_EQ(ON::UnitScale(U::None, U::Meters), 1.0);
    EXPECT_EQ(ON::UnitScale(U::Meters, U::CustomUnits), 1.0);
    EXPECT_EQ(ON::UnitScale(U::Unset, U::Feet), 1.0);
    EXPECT_EQ(ON::UnitScale(U::Feet, U::Feet), 1.0);
}

// Stored numbers map to units; unknown numbers are Unset.
TEST(OnUnits, FromStoredNumbers) {
    EXPECT_EQ(ON::LengthUnitSystemFromUnsigned(2), U::Millimeters);
    EXPECT_EQ(ON::LengthUnitSystemFromUnsigned(8), U::Inches);
    EXPECT_EQ(ON::LengthUnitSystemFromUnsigned(23), U::Parsecs);
    EXPECT_EQ(ON::LengthUnitSystemFromUnsigned(0), U::None);
    EXPECT_EQ(ON::LengthUnitSystemFromUnsigned(11), U::CustomUnits);
    EXPECT_EQ(ON::LengthUnitSystemFromUnsigned(24), U::Unset);
    EXPECT_EQ(ON::LengthUnitSystemFromUnsigned(255), U::Unset);
}
