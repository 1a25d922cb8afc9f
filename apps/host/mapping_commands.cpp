// Texture-mapping commands: add, change, delete and undelete mappings (texture mapping
// table events), and apply a mapping to an object's mapping channel (an attribute
// change of the object).

#include <array>

#include "host_session.h"
#include "references.h"
#include "sdk/app/rhino_app.h"
#include "sdk/document/rhino_doc.h"

namespace vantro::host {

namespace {

using Outcome = CommandOutcome;
using Type = ON_TextureMapping::TYPE;

constexpr std::array<std::string_view, 7> kTypeWords = {
    "plane", "box", "sphere", "cylinder", "surfaceParameter", "worldProjection", "worldBoxProjection"};
constexpr Type kTypes[] = {Type::plane_mapping, Type::box_mapping,    Type::sphere_mapping,   Type::cylinder_mapping,
                           Type::srfp_mapping,  Type::wcs_projection, Type::wcsbox_projection};

struct Shape {
    Type type = Type::plane_mapping;
    ON_3dPoint center;
    double size = 1.0;
    bool capped = false;
};

std::string mappingLabel(const CRhinoDoc& doc, int index) {
    const ON_wString& name = doc.m_texture_mapping_table[index].Name();
    return "mapping " + std::to_string(index) + (name.IsEmpty() ? "" : " " + inQuotes(name.ToUtf8()));
}

// Sets the mapping's type and transformations for shape; the mapping space is a cube of
// edge size around center (the bottom centre for a cylinder).
bool buildShape(const Shape& shape, ON_TextureMapping& mapping) {
    const double h = shape.size / 2.0;
    const ON_Interval half(-h, h);
    ON_Plane plane = ON_Plane::World_xy;
    plane.origin = shape.center;
    switch (shape.type) {
        case Type::plane_mapping: return mapping.SetPlaneMapping(plane, half, half, half);
        case Type::box_mapping: return mapping.SetBoxMapping(plane, half, half, half, shape.capped);
        case Type::sphere_mapping: return mapping.SetSphereMapping(shape.center, h);
        case Type::cylinder_mapping: return mapping.SetCylinderMapping(plane, h, shape.size, shape.capped);
        case Type::srfp_mapping: return mapping.SetSurfaceParameterMapping();
        default:
            // World projections map positions as they are.
            mapping.m_type = shape.type;
            mapping.m_Pxyz = ON_Xform();
            mapping.m_Nxyz = ON_Xform();
            mapping.m_uvw = ON_Xform();
            return true;
    }
}

// Reads the shape options into shape; false with a message.
bool readShape(const CommandArgs& args, Shape& shape, std::string& error) {
    if (const std::string* text = args.option("center")) {
        const auto center = parsePoint(*text, error);
        if (!center)
            return (error = "center: " + error, false);
        shape.center = *center;
    }
    if (const std::string* text = args.option("size")) {
        const auto size = parseNumber(*text, error);
        if (!size)
            return (error = "size: " + error, false);
        if (*size <= 0.0)
            return (error = "size: must be greater than 0", false);
        shape.size = *size;
    }
    if (const std::string* text = args.option("capped")) {
        const auto capped = parseSwitch(*text, error);
        if (!capped)
            return (error = "capped: " + error, false);
        shape.capped = *capped;
    }
    return true;
}

bool applyRepeat(const CommandArgs& args, ON_TextureMapping& mapping, std::string& error) {
    const std::string* text = args.option("repeat");
    if (!text)
        return true;
    const auto repeat = parseVector(*text, error);
    if (!repeat)
        return (error = "repeat: " + error, false);
    if (repeat->x == 0 || repeat->y == 0 || repeat->z == 0)
        return (error = "repeat: no factor may be 0", false);
    mapping.m_uvw = ON_Xform::DiagonalTransformation(repeat->x, repeat->y, repeat->z);
    return true;
}

int mappingArg(HostSession& session, const std::string& ref, Deleted deleted, Outcome& bad) {
    std::string error;
    const int index = findMapping(*session.document(), ref, deleted, error);
    if (index < 0)
        bad = Outcome::bad(error);
    return index;
}

Outcome addMapping(HostSession& session, const CommandArgs& args) {
    std::string error;
    if (args.count() != 1)
        return Outcome::bad("expected a mapping type");
    if (!args.onlyOptions({"name", "center", "size", "capped", "repeat"}, error))
        return Outcome::bad(error);
    const auto choice = parseChoice(args[0], kTypeWords, error);
    if (!choice)
        return Outcome::bad("type: " + error);
    Shape shape;
    shape.type = kTypes[*choice];
    if (!readShape(args, shape, error))
        return Outcome::bad(error);
    ON_TextureMapping mapping;
    if (const std::string* name = args.option("name"))
        mapping.SetName(ON_wString::FromUtf8(*name));
    if (!buildShape(shape, mapping))
        return Outcome::bad("the mapping's shape is not valid");
    if (!applyRepeat(args, mapping, error))
        return Outcome::bad(error);
    CRhinoDoc& doc = *session.document();
    const int index = doc.m_texture_mapping_table.AddTextureMapping(mapping);
    if (index < 0)
        return Outcome::fail("the mapping could not be added");
    session.message("Added " + mappingLabel(doc, index) + ".");
    return Outcome::ok();
}

Outcome setMapping(HostSession& session, const CommandArgs& args) {
    std::string error;
    if (args.count() != 1 || args.options().empty())
        return Outcome::bad("expected a mapping and at least one option");
    if (!args.onlyOptions({"name", "type", "center", "size", "capped", "repeat"}, error))
        return Outcome::bad(error);
    Outcome bad;
    const int index = mappingArg(session, args[0], Deleted::no, bad);
    if (index < 0)
        return bad;
    CRhinoDoc& doc = *session.document();
    ON_TextureMapping mapping = doc.m_texture_mapping_table[index];
    if (const std::string* name = args.option("name"))
        mapping.SetName(ON_wString::FromUtf8(*name));
    // The shape is rebuilt from the options given (defaults for the others) when any
    // of them is given: a mapping does not remember the centre and size it was made with.
    if (args.option("type") || args.option("center") || args.option("size") || args.option("capped")) {
        Shape shape;
        shape.type = mapping.m_type;
        if (const std::string* type = args.option("type")) {
            const auto choice = parseChoice(*type, kTypeWords, error);
            if (!choice)
                return Outcome::bad("type: " + error);
            shape.type = kTypes[*choice];
        }
        if (!readShape(args, shape, error))
            return Outcome::bad(error);
        if (!buildShape(shape, mapping))
            return Outcome::bad("the mapping's shape is not valid");
    }
    if (!applyRepeat(args, mapping, error))
        return Outcome::bad(error);
    if (!doc.m_texture_mapping_table.ModifyTextureMapping(mapping, index))
        return Outcome::fail("the mapping could not be changed");
    session.message("Changed " + mappingLabel(doc, index) + ".");
    return Outcome::ok();
}

Outcome deleteMapping(HostSession& session, const CommandArgs& args) {
    if (args.count() != 1 || !args.options().empty())
        return Outcome::bad("expected a mapping");
    Outcome bad;
    const int index = mappingArg(session, args[0], Deleted::no, bad);
    if (index < 0)
        return bad;
    CRhinoDoc& doc = *session.document();
    if (!doc.m_texture_mapping_table.DeleteTextureMapping(index))
        return Outcome::fail("the mapping could not be deleted");
    session.message("Deleted " + mappingLabel(doc, index) + ".");
    return Outcome::ok();
}

Outcome undeleteMapping(HostSession& session, const CommandArgs& args) {
    if (args.count() != 1 || !args.options().empty())
        return Outcome::bad("expected a deleted mapping");
    Outcome bad;
    const int index = mappingArg(session, args[0], Deleted::only, bad);
    if (index < 0)
        return bad;
    CRhinoDoc& doc = *session.document();
    if (!doc.m_texture_mapping_table.UndeleteTextureMapping(index))
        return Outcome::fail("the mapping could not be undeleted");
    session.message("Undeleted " + mappingLabel(doc, index) + ".");
    return Outcome::ok();
}

Outcome applyMapping(HostSession& session, const CommandArgs& args) {
    std::string error;
    if (args.count() != 2)
        return Outcome::bad("expected a mapping and an object");
    if (!args.onlyOptions({"channel"}, error))
        return Outcome::bad(error);
    Outcome bad;
    const int index = mappingArg(session, args[0], Deleted::no, bad);
    if (index < 0)
        return bad;
    CRhinoDoc& doc = *session.document();
    CRhinoObject* object = findObject(doc, args[1], Deleted::no, error);
    if (!object)
        return Outcome::bad(error);
    long long channel = 1;
    if (const std::string* text = args.option("channel")) {
        const auto value = parseInteger(*text, 1, 0x7fffffff, error);
        if (!value)
            return Outcome::bad("channel: " + error);
        channel = *value;
    }
    ON_3dmObjectAttributes attributes = object->Attributes();
    attributes.m_rendering_attributes.AddMappingChannel(RhinoApp().GetDefaultRenderApp(), static_cast<int>(channel),
                                                        doc.m_texture_mapping_table[index].Id());
    if (!doc.ModifyObjectAttributes(CRhinoObjRef(object), attributes))
        return Outcome::fail("the object's attributes could not be changed");
    session.message("Applied " + mappingLabel(doc, index) + " to " + describeObject(*object) + " on channel " +
                    std::to_string(channel) + ".");
    return Outcome::ok();
}

}  // namespace

void addMappingCommands(CommandTable& table) {
    table.add({"Mapping Add",
               "<plane|box|sphere|cylinder|surfaceParameter|worldProjection|worldBoxProjection> "
               "[name=] [center=x,y,z] [size=] [capped=on|off] [repeat=u,v,w]",
               "Adds a texture mapping (a cube of edge size around center).", addMapping});
    table.add({"Mapping Set", "<mapping> [name=] [type=] [center=] [size=] [capped=] [repeat=u,v,w]",
               "Changes a texture mapping (shape options rebuild its shape).", setMapping});
    table.add({"Mapping Delete", "<mapping>", "Deletes a texture mapping.", deleteMapping});
    table.add({"Mapping Undelete", "<mapping>", "Undeletes a deleted texture mapping.", undeleteMapping});
    table.add({"Mapping Apply", "<mapping> <object> [channel=1]",
               "Makes a mapping supply an object's texture coordinates on a channel.", applyMapping});
}

}  // namespace vantro::host
