#pragma once
// ON: the enumerations and unit helpers the document model shares.
//
// Thread-safety: everything here is a pure function or a constant; any thread.

#include <cstdint>

class ON {
public:
    // Length units of a document. The numbers are the ones documents store.
    enum class LengthUnitSystem : unsigned char {
        None = 0,
        Angstroms = 12,
        Nanometers = 13,
        Microns = 1,
        Millimeters = 2,
        Centimeters = 3,
        Decimeters = 14,
        Meters = 4,
        Dekameters = 15,
        Hectometers = 16,
        Kilometers = 5,
        Megameters = 17,
        Gigameters = 18,
        Microinches = 6,
        Mils = 7,
        Inches = 8,
        Feet = 9,
        Yards = 19,
        Miles = 10,
        NauticalMiles = 20,
        AstronomicalUnits = 21,
        LightYears = 22,
        Parsecs = 23,
        CustomUnits = 11,
        Unset = 255,
    };

    // The unit system stored under a number, or Unset when the number names none.

    // Factor that converts a length in units `from` into units `to`
    // (UnitScale(Millimeters, Meters) == 0.001). None, CustomUnits and Unset have no
    // defined size: any pair involving them gives 1.0, as does from == to.
    static double UnitScale(LengthUnitSystem from, LengthUnitSystem to);

    // Object types, as bit values (an object has exactly one).
    enum object_type : unsigned int {
        unknown_object_type = 0,
        point_object = 1,
        pointset_object = 2,
        curve_object = 4,
        surface_object = 8,
        brep_object = 0x10,
        mesh_object = 0x20,
        light_object = 0x100,
        annotation_object = 0x200,
        instance_reference = 0x1000,
        text_dot = 0x2000,
        subd_object = 0x40000,
        extrusion_object = 0x40000000,
    };

    // Where an object's render material comes from.
    enum object_material_source : unsigned int {
        material_from_layer = 0,
        material_from_object = 1,
        material_from_parent = 3,
    };

    // Object mode: how the user may interact with an object.
    enum object_mode : unsigned int {
        normal_object = 0,
        hidden_object = 1,
        locked_object = 2,
        idef_object = 3,
    };

    enum view_projection : unsigned int {
        unknown_view = 0,
        parallel_view = 1,
        perspective_view = 2,
    };

    // Kinds of meshes an object can carry.
    enum mesh_type : unsigned int {
        default_mesh = 0,
        render_mesh = 1,
        analysis_mesh = 2,
        preview_mesh = 3,
        any_mesh = 4,
    };
};
