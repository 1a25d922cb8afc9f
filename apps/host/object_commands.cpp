// Object commands: add, copy, move and otherwise transform, replace, delete, undelete,
// purge, change attributes, select, and rebuild render meshes. Every edit goes through
// CRhinoDoc, which raises the application's events for it.

#include <algorithm>
#include <cmath>
#include <iterator>
#include <numbers>
#include <span>
#include <string_view>
#include <vector>

#include "attribute_options.h"
#include "box_mesh.h"
#include "host_session.h"
#include "references.h"
#include "sdk/app/rhino_app.h"
#include "sdk/document/rhino_doc.h"

namespace vantro::host {

namespace {

using Outcome = CommandOutcome;

// The object a positional argument names, or a bad-arguments outcome.
CRhinoObject* objectArg(HostSession& session, const std::string& ref, Deleted deleted, Outcome& bad) {
    std::string error;
    CRhinoObject* object = findObject(*session.document(), ref, deleted, error);
    if (!object)
        bad = Outcome::bad(error);
    return object;
}

// Every object the positional arguments name, in their order (a name given twice
// appears twice), all resolved before the command acts so that a typo anywhere changes
// nothing; empty with a bad-arguments outcome when a name fits nothing.
std::vector<CRhinoObject*> objectsArg(HostSession& session, const CommandArgs& args, Outcome& bad) {
    std::vector<CRhinoObject*> objects;
    for (const std::string& ref : args.positional()) {
        CRhinoObject* object = objectArg(session, ref, Deleted::no, bad);
        if (!object)
            return {};
        objects.push_back(object);
    }
    return objects;
}

std::optional<ON_3dPoint> pointArg(const std::string& text, const char* what, Outcome& bad) {
    std::string error;
    auto point = parsePoint(text, error);
    if (!point)
        bad = Outcome::bad(std::string(what) + ": " + error);
    return point;
}

bool hasVolume(const ON_3dPoint& a, const ON_3dPoint& b) { return a.x != b.x && a.y != b.y && a.z != b.z; }

// The kinds of box `Box --type` makes, in the order of its choices.
enum BoxKind : size_t { kMeshBox, kBrepBox, kExtrusionBox };
constexpr std::string_view kBoxKindNames[] = {"mesh", "brep", "extrusion"};

// A new object of the given kind carrying the box between a and b.
std::unique_ptr<CRhinoObject> boxObject(size_t kind, const ON_3dPoint& a, const ON_3dPoint& b,
                                        const ON_3dmObjectAttributes& attributes) {
    if (kind == kMeshBox)
        return std::make_unique<CRhinoMeshObject>(boxMesh(a, b), attributes);
    auto object = std::make_unique<CRhinoObject>(kind == kBrepBox ? ON::brep_object : ON::extrusion_object, attributes);
    if (kind == kBrepBox)
        object->SetRenderMeshes(boxSideMeshes(a, b));
    else
        object->SetRenderMeshes({std::make_shared<const ON_Mesh>(boxMesh(a, b))});
    return object;
}

Outcome addBox(HostSession& session, const CommandArgs& args) {
    std::string error;
    if (args.count() != 2)
        return Outcome::bad("expected two corners");
    if (!args.onlyOptions({"name", "layer", "material", "source", "visible", "mode", "type"}, error))
        return Outcome::bad(error);
    Outcome bad;
    const auto a = pointArg(args[0], "first corner", bad);
    const auto b = a ? pointArg(args[1], "second corner", bad) : std::nullopt;
    if (!b)
        return bad;
    if (!hasVolume(*a, *b))
        return Outcome::bad("the corners must differ in x, y and z");
    size_t kind = kMeshBox;
    if (const std::string* type = args.option("type")) {
        const auto choice = parseChoice(*type, std::span<const std::string_view>(kBoxKindNames), error);
        if (!choice)
            return Outcome::bad("type: " + error);
        kind = *choice;
    }
    CRhinoDoc& doc = *session.document();
    ON_3dmObjectAttributes attributes;
    attributes.m_layer_index = doc.m_layer_table.CurrentLayerIndex();
    if (!applyAttributeOptions(doc, args, attributes, error))
        return Outcome::bad(error);
    CRhinoObject* added = doc.AddObject(boxObject(kind, *a, *b, attributes));
    if (!added)
        return Outcome::fail("the document refused the box");
    session.message("Added " + describeObject(*added) + ".");
    return Outcome::ok();
}

Outcome copyObject(HostSession& session, const CommandArgs& args) {
    std::string error;
    if (args.count() < 1 || args.count() > 2)
        return Outcome::bad("expected an object and an optional offset");
    if (!args.onlyOptions(kAttributeOptionKeys, error))
        return Outcome::bad(error);
    Outcome bad;
    const CRhinoObject* source = objectArg(session, args[0], Deleted::no, bad);
    if (!source)
        return bad;
    std::optional<ON_3dPoint> offset = ON_3dPoint::Origin;
    if (args.count() == 2 && !(offset = pointArg(args[1], "offset", bad)))
        return bad;
    CRhinoDoc& doc = *session.document();
    ON_3dmObjectAttributes attributes = source->Attributes();
    attributes.m_uuid = ON_nil_uuid;  // the copy gets an id of its own
    if (!applyAttributeOptions(doc, args, attributes, error))
        return Outcome::bad(error);
    std::unique_ptr<CRhinoObject> copy = source->DuplicateObject();
    copy->SetAttributes(attributes);
    if (*offset != ON_3dPoint::Origin)
        copy->Transform(ON_Xform::TranslationTransformation(ON_3dVector(offset->x, offset->y, offset->z)));
    CRhinoObject* added = doc.AddObject(std::move(copy));
    if (!added)
        return Outcome::fail("the document refused the copy");
    session.message("Added " + describeObject(*added) + " (a copy of @" +
                    std::to_string(source->RuntimeSerialNumber()) + ").");
    return Outcome::ok();
}

// Applies xform to the object named by args[0]; shared by Move, Rotate, Scale and
// Transform once they have built their transformation.
Outcome transformObject(HostSession& session, const CommandArgs& args, const ON_Xform& xform, const char* verb) {
    Outcome bad;
    CRhinoObject* object = objectArg(session, args[0], Deleted::no, bad);
    if (!object)
        return bad;
    const std::string before = describeObject(*object);
    CRhinoObject* moved = session.document()->TransformObject(CRhinoObjRef(object), xform);
    if (!moved)
        return Outcome::fail("the object could not be transformed");
    session.message(std::string(verb) + " " + before + "; it is now @" + std::to_string(moved->RuntimeSerialNumber()) +
                    ".");
    return Outcome::ok();
}

Outcome moveObject(HostSession& session, const CommandArgs& args) {
    if (args.count() != 2 || !args.options().empty())
        return Outcome::bad("expected an object and an offset");
    std::string error;
    const auto offset = parseVector(args[1], error);
    if (!offset)
        return Outcome::bad("offset: " + error);
    return transformObject(session, args, ON_Xform::TranslationTransformation(*offset), "Moved");
}

Outcome rotateObject(HostSession& session, const CommandArgs& args) {
    std::string error;
    if (args.count() != 2)
        return Outcome::bad("expected an object and an angle in degrees");
    if (!args.onlyOptions({"axis", "center"}, error))
        return Outcome::bad(error);
    const auto degrees = parseNumber(args[1], error);
    if (!degrees)
        return Outcome::bad("angle: " + error);
    std::optional<ON_3dVector> axis = ON_3dVector::ZAxis;
    std::optional<ON_3dPoint> center = ON_3dPoint::Origin;
    if (const std::string* text = args.option("axis"); text && !(axis = parseVector(*text, error)))
        return Outcome::bad("axis: " + error);
    if (axis->IsZero())
        return Outcome::bad("axis: must not be zero");
    if (const std::string* text = args.option("center"); text && !(center = parsePoint(*text, error)))
        return Outcome::bad("center: " + error);
    const double radians = *degrees * std::numbers::pi / 180.0;
    return transformObject(session, args, ON_Xform::RotationTransformation(radians, *axis, *center), "Rotated");
}

Outcome scaleObject(HostSession& session, const CommandArgs& args) {
    std::string error;
    if (args.count() != 2)
        return Outcome::bad("expected an object and a factor");
    if (!args.onlyOptions({"center"}, error))
        return Outcome::bad(error);
    const auto factor = parseNumber(args[1], error);
    if (!factor)
        return Outcome::bad("factor: " + error);
    if (*factor == 0.0)
        return Outcome::bad("factor: must not be 0");
    std::optional<ON_3dPoint> center = ON_3dPoint::Origin;
    if (const std::string* text = args.option("center"); text && !(center = parsePoint(*text, error)))
        return Outcome::bad("center: " + error);
    return transformObject(session, args, ON_Xform::ScaleTransformation(*center, *factor), "Scaled");
}

Outcome transformByMatrix(HostSession& session, const CommandArgs& args) {
    if (args.count() != 2 || !args.options().empty())
        return Outcome::bad("expected an object and 16 comma-separated numbers");
    double m[4][4];
    std::string_view text = args[1];
    for (int i = 0; i < 16; ++i) {
        const size_t comma = text.find(',');
        std::string error;
        const auto value = parseNumber(text.substr(0, comma), error);
        if (!value || (i < 15) == (comma == std::string_view::npos))
            return Outcome::bad("matrix: expected 16 comma-separated numbers, row by row");
        m[i / 4][i % 4] = *value;
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    }
    const ON_Xform xform(m);
    if (xform.Determinant() == 0.0)
        return Outcome::bad("matrix: not invertible");
    return transformObject(session, args, xform, "Transformed");
}

Outcome replaceObject(HostSession& session, const CommandArgs& args) {
    if ((args.count() != 1 && args.count() != 3) || !args.options().empty())
        return Outcome::bad("expected an object and optionally two corners of a new box");
    Outcome bad;
    CRhinoObject* object = objectArg(session, args[0], Deleted::no, bad);
    if (!object)
        return bad;
    CRhinoDoc& doc = *session.document();
    const std::string before = describeObject(*object);
    CRhinoObject* replacement = nullptr;
    if (args.count() == 3) {
        const auto a = pointArg(args[1], "first corner", bad);
        const auto b = a ? pointArg(args[2], "second corner", bad) : std::nullopt;
        if (!b)
            return bad;
        if (!hasVolume(*a, *b))
            return Outcome::bad("the corners must differ in x, y and z");
        replacement = doc.ReplaceObject(CRhinoObjRef(object), boxMesh(*a, *b));
    } else {
        replacement = doc.ReplaceObject(CRhinoObjRef(object), object->DuplicateObject());
    }
    if (!replacement)
        return Outcome::fail("the object could not be replaced");
    session.message("Replaced " + before + " by " + describeObject(*replacement) + ".");
    return Outcome::ok();
}

Outcome deleteObjects(HostSession& session, const CommandArgs& args) {
    if (args.count() == 0 || !args.options().empty())
        return Outcome::bad("expected one or more objects");
    Outcome bad;
    std::vector<CRhinoObject*> objects = objectsArg(session, args, bad);
    if (objects.empty())
        return bad;
    // A name given twice deletes once (and is reported once).
    for (auto at = objects.begin(); at != objects.end(); ++at)
        objects.erase(std::remove(std::next(at), objects.end(), *at), objects.end());
    // A locked object would stop the deletion half-way; refuse the whole command instead.
    for (CRhinoObject* object : objects)
        if (object->IsLocked())
            return Outcome::fail(describeObject(*object) + " is locked; nothing was deleted");
    int deleted = 0;
    for (CRhinoObject* object : objects) {
        if (!session.document()->DeleteObject(CRhinoObjRef(object), false))
            continue;
        session.message("Deleted " + describeObject(*object) + ".");
        ++deleted;
    }
    return deleted == static_cast<int>(objects.size()) ? Outcome::ok() : Outcome::fail();
}

Outcome undeleteObject(HostSession& session, const CommandArgs& args) {
    if (args.count() != 1 || !args.options().empty())
        return Outcome::bad("expected a deleted object");
    Outcome bad;
    CRhinoObject* object = objectArg(session, args[0], Deleted::only, bad);
    if (!object)
        return bad;
    if (!session.document()->UndeleteObject(object))
        return Outcome::fail("the object could not be undeleted");
    session.message("Undeleted " + describeObject(*object) + ".");
    return Outcome::ok();
}

Outcome purgeObject(HostSession& session, const CommandArgs& args) {
    if (args.count() != 1 || !args.options().empty())
        return Outcome::bad("expected an object");
    Outcome bad;
    CRhinoObject* object = objectArg(session, args[0], Deleted::also, bad);
    if (!object)
        return bad;
    const std::string before = describeObject(*object);
    if (!session.document()->PurgeObject(object))
        return Outcome::fail("the object could not be purged");
    session.message("Purged " + before + ".");
    return Outcome::ok();
}

// Replaces an object's attributes with a changed copy (one attribute event).
Outcome modifyAttributes(HostSession& session, CRhinoObject& object, const ON_3dmObjectAttributes& attributes) {
    if (attributes == object.Attributes()) {
        session.message("Nothing to change for " + describeObject(object) + ".");
        return Outcome::ok();
    }
    if (!session.document()->ModifyObjectAttributes(CRhinoObjRef(&object), attributes))
        return Outcome::fail("the attributes could not be changed");
    session.message("Changed the attributes of " + describeObject(object) + ".");
    return Outcome::ok();
}

Outcome setAttributes(HostSession& session, const CommandArgs& args) {
    std::string error;
    if (args.count() != 1 || args.options().empty())
        return Outcome::bad("expected an object and at least one attribute option");
    if (!args.onlyOptions(kAttributeOptionKeys, error))
        return Outcome::bad(error);
    Outcome bad;
    CRhinoObject* object = objectArg(session, args[0], Deleted::no, bad);
    if (!object)
        return bad;
    ON_3dmObjectAttributes attributes = object->Attributes();
    if (!applyAttributeOptions(*session.document(), args, attributes, error))
        return Outcome::bad(error);
    return modifyAttributes(session, *object, attributes);
}

Outcome renameObject(HostSession& session, const CommandArgs& args) {
    if (args.count() != 2 || !args.options().empty())
        return Outcome::bad("expected an object and its new name");
    Outcome bad;
    CRhinoObject* object = objectArg(session, args[0], Deleted::no, bad);
    if (!object)
        return bad;
    ON_3dmObjectAttributes attributes = object->Attributes();
    attributes.m_name = ON_wString::FromUtf8(args[1]);
    return modifyAttributes(session, *object, attributes);
}

Outcome showOrHide(HostSession& session, const CommandArgs& args, bool show) {
    if (args.count() != 1 || !args.options().empty())
        return Outcome::bad("expected an object");
    Outcome bad;
    CRhinoObject* object = objectArg(session, args[0], Deleted::no, bad);
    if (!object)
        return bad;
    CRhinoDoc& doc = *session.document();
    const bool ok = show ? doc.ShowObject(CRhinoObjRef(object)) : doc.HideObject(CRhinoObjRef(object));
    if (!ok)
        return Outcome::fail(std::string("the object could not be ") + (show ? "shown" : "hidden"));
    session.message((show ? "Shown " : "Hidden ") + describeObject(*object) + ".");
    return Outcome::ok();
}

Outcome hideObject(HostSession& session, const CommandArgs& args) { return showOrHide(session, args, false); }
Outcome showObject(HostSession& session, const CommandArgs& args) { return showOrHide(session, args, true); }

Outcome selectObjects(HostSession& session, const CommandArgs& args) {
    if (args.count() == 0 || !args.options().empty())
        return Outcome::bad("expected one or more objects");
    Outcome bad;
    const std::vector<CRhinoObject*> objects = objectsArg(session, args, bad);
    if (objects.empty())
        return bad;
    for (CRhinoObject* object : objects)
        session.document()->SelectObject(CRhinoObjRef(object), true);
    session.message("Selected " + std::to_string(objects.size()) + " object(s).");
    return Outcome::ok();
}

Outcome selectNone(HostSession& session, const CommandArgs& args) {
    if (args.count() != 0 || !args.options().empty())
        return Outcome::bad("expected no arguments");
    session.document()->UnselectAll();
    return Outcome::ok();
}

Outcome updateMesh(HostSession& session, const CommandArgs& args) {
    if (args.count() != 1 || !args.options().empty())
        return Outcome::bad("expected an object");
    Outcome bad;
    CRhinoObject* object = objectArg(session, args[0], Deleted::no, bad);
    if (!object)
        return bad;
    if (!session.document()->SetObjectRenderMeshes(CRhinoObjRef(object), object->RenderMeshes()))
        return Outcome::fail("the object's render meshes could not be set");
    session.message("Updated the render meshes of " + describeObject(*object) + ".");
    return Outcome::ok();
}

}  // namespace

void addObjectCommands(CommandTable& table) {
    table.add({"AddBox",
               "<corner x,y,z> <corner x,y,z> [type=mesh|brep|extrusion] [name=] [layer=] [material=] "
               "[source=] [visible=] [mode=]",
               "Adds a box (a mesh, or a brep or extrusion with render meshes).", addBox});
    table.add({"Copy", "<object> [offset x,y,z] [name=] [layer=] [material=] [source=] [visible=] [mode=]",
               "Adds a copy of an object, optionally moved.", copyObject});
    table.add({"Move", "<object> <offset x,y,z>", "Moves an object (it is replaced by a moved copy).", moveObject});
    table.add({"Rotate", "<object> <degrees> [axis=x,y,z] [center=x,y,z]", "Rotates an object.", rotateObject});
    table.add({"Scale", "<object> <factor> [center=x,y,z]", "Scales an object.", scaleObject});
    table.add({"Transform", "<object> <m00,m01,...,m33>", "Transforms an object by a 4x4 matrix, row by row.",
               transformByMatrix});
    table.add({"Replace", "<object> [corner x,y,z] [corner x,y,z]",
               "Replaces an object by a copy of itself, or by a new box mesh.", replaceObject});
    table.add({"Delete", "<object>...", "Deletes objects.", deleteObjects});
    table.add({"Undelete", "<object>", "Undeletes a deleted object.", undeleteObject});
    table.add({"Purge", "<object>", "Removes an object for good (deleted or not).", purgeObject});
    table.add({"Attributes", "<object> [name=] [layer=] [material=] [source=] [visible=] [mode=]",
               "Changes an object's attributes.", setAttributes});
    table.add({"Rename", "<object> <name>", "Renames an object.", renameObject});
    table.add({"Hide", "<object>", "Hides an object.", hideObject});
    table.add({"Show", "<object>", "Shows a hidden object.", showObject});
    table.add({"Select", "<object>...", "Selects objects.", selectObjects});
    table.add({"SelectNone", "", "Clears the selection.", selectNone});
    table.add({"UpdateMesh", "<object>", "Sets an object's render meshes again (a mesh update event).", updateMesh});
}

}  // namespace vantro::host
