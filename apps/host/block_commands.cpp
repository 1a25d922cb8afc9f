// Block commands: define a block from copies of objects, rename or describe it,
// replace its geometry, delete and undelete it (block table events), and place it
// (a new instance reference object).

#include "attribute_options.h"
#include "host_session.h"
#include "references.h"
#include "sdk/document/rhino_doc.h"

namespace vantro::host {

namespace {

using Outcome = CommandOutcome;
using Geometry = CRhinoInstanceDefinitionTable::Geometry;

std::string blockLabel(const CRhinoDoc& doc, int index) {
    return "block " + std::to_string(index) + " " + inQuotes(doc.m_instance_definition_table[index].Name().ToUtf8());
}

int blockArg(HostSession& session, const std::string& ref, Deleted deleted, Outcome& bad) {
    std::string error;
    const int index = findBlock(*session.document(), ref, deleted, error);
    if (index < 0)
        bad = Outcome::bad(error);
    return index;
}

// Copies of the objects named by args from position first on, moved so that base
// lands on the origin, as block members. False with a message when a name fits nothing.
bool memberCopies(const CRhinoDoc& doc, const CommandArgs& args, size_t first, Geometry& geometry, std::string& error) {
    std::optional<ON_3dPoint> base = ON_3dPoint::Origin;
    if (const std::string* text = args.option("base"); text && !(base = parsePoint(*text, error)))
        return (error = "base: " + error, false);
    const ON_Xform toOrigin = ON_Xform::TranslationTransformation(-base->x, -base->y, -base->z);
    for (size_t i = first; i < args.count(); ++i) {
        const CRhinoObject* object = findObject(doc, args[i], Deleted::no, error);
        if (!object)
            return false;
        std::unique_ptr<CRhinoObject> copy = object->DuplicateObject();
        ON_3dmObjectAttributes attributes = copy->Attributes();
        attributes.m_uuid = ON_nil_uuid;
        attributes.SetMode(ON::idef_object);
        copy->SetAttributes(attributes);
        if (*base != ON_3dPoint::Origin)
            copy->Transform(toOrigin);
        geometry.push_back(std::move(copy));
    }
    return true;
}

Outcome addBlock(HostSession& session, const CommandArgs& args) {
    std::string error;
    if (args.count() < 2)
        return Outcome::bad("expected a name and one or more objects");
    if (!args.onlyOptions({"description", "base"}, error))
        return Outcome::bad(error);
    CRhinoDoc& doc = *session.document();
    Geometry geometry;
    if (!memberCopies(doc, args, 1, geometry, error))
        return Outcome::bad(error);
    ON_InstanceDefinition definition;
    definition.SetName(ON_wString::FromUtf8(args[0]));
    if (const std::string* text = args.option("description"))
        definition.SetDescription(ON_wString::FromUtf8(*text));
    const int index = doc.m_instance_definition_table.AddInstanceDefinition(definition, std::move(geometry));
    if (index < 0)
        return Outcome::fail("the block could not be defined");
    session.message("Added " + blockLabel(doc, index) + " with " + std::to_string(args.count() - 1) + " object(s).");
    return Outcome::ok();
}

Outcome setBlock(HostSession& session, const CommandArgs& args) {
    std::string error;
    if (args.count() != 1 || args.options().empty())
        return Outcome::bad("expected a block and name= or description=");
    if (!args.onlyOptions({"name", "description"}, error))
        return Outcome::bad(error);
    Outcome bad;
    const int index = blockArg(session, args[0], Deleted::no, bad);
    if (index < 0)
        return bad;
    CRhinoDoc& doc = *session.document();
    ON_InstanceDefinition definition = doc.m_instance_definition_table[index];
    if (const std::string* text = args.option("name"))
        definition.SetName(ON_wString::FromUtf8(*text));
    if (const std::string* text = args.option("description"))
        definition.SetDescription(ON_wString::FromUtf8(*text));
    if (!doc.m_instance_definition_table.ModifyInstanceDefinition(definition, index))
        return Outcome::fail("the block could not be changed");
    session.message("Changed " + blockLabel(doc, index) + ".");
    return Outcome::ok();
}

Outcome setBlockGeometry(HostSession& session, const CommandArgs& args) {
    std::string error;
    if (args.count() < 2)
        return Outcome::bad("expected a block and one or more objects");
    if (!args.onlyOptions({"base"}, error))
        return Outcome::bad(error);
    Outcome bad;
    const int index = blockArg(session, args[0], Deleted::no, bad);
    if (index < 0)
        return bad;
    CRhinoDoc& doc = *session.document();
    Geometry geometry;
    if (!memberCopies(doc, args, 1, geometry, error))
        return Outcome::bad(error);
    if (!doc.m_instance_definition_table.ModifyInstanceDefinitionGeometry(index, std::move(geometry)))
        return Outcome::fail("the block's geometry could not be replaced");
    session.message("Replaced the geometry of " + blockLabel(doc, index) + ".");
    return Outcome::ok();
}

Outcome deleteBlock(HostSession& session, const CommandArgs& args) {
    if (args.count() != 1 || !args.options().empty())
        return Outcome::bad("expected a block");
    Outcome bad;
    const int index = blockArg(session, args[0], Deleted::no, bad);
    if (index < 0)
        return bad;
    CRhinoDoc& doc = *session.document();
    if (!doc.m_instance_definition_table.DeleteInstanceDefinition(index))
        return Outcome::fail("the block could not be deleted (is it still placed?)");
    session.message("Deleted " + blockLabel(doc, index) + ".");
    return Outcome::ok();
}

Outcome undeleteBlock(HostSession& session, const CommandArgs& args) {
    if (args.count() != 1 || !args.options().empty())
        return Outcome::bad("expected a deleted block");
    Outcome bad;
    const int index = blockArg(session, args[0], Deleted::only, bad);
    if (index < 0)
        return bad;
    CRhinoDoc& doc = *session.document();
    if (!doc.m_instance_definition_table.UndeleteInstanceDefinition(index))
        return Outcome::fail("the block could not be undeleted");
    session.message("Undeleted " + blockLabel(doc, index) + ".");
    return Outcome::ok();
}

Outcome insertBlock(HostSession& session, const CommandArgs& args) {
    std::string error;
    if (args.count() < 1 || args.count() > 2)
        return Outcome::bad("expected a block and an optional point");
    if (!args.onlyOptions(kAttributeOptionKeys, error))
        return Outcome::bad(error);
    Outcome bad;
    const int index = blockArg(session, args[0], Deleted::no, bad);
    if (index < 0)
        return bad;
    std::optional<ON_3dPoint> at = ON_3dPoint::Origin;
    if (args.count() == 2 && !(at = parsePoint(args[1], error)))
        return Outcome::bad("point: " + error);
    CRhinoDoc& doc = *session.document();
    ON_3dmObjectAttributes attributes;
    attributes.m_layer_index = doc.m_layer_table.CurrentLayerIndex();
    if (!applyAttributeOptions(doc, args, attributes, error))
        return Outcome::bad(error);
    const ON_Xform xform = ON_Xform::TranslationTransformation(at->x, at->y, at->z);
    CRhinoInstanceObject* instance = doc.AddInstanceObject(index, xform, &attributes);
    if (!instance)
        return Outcome::fail("the block could not be placed");
    session.message("Added " + describeObject(*instance) + " placing " + blockLabel(doc, index) + ".");
    return Outcome::ok();
}

}  // namespace

void addBlockCommands(CommandTable& table) {
    table.add({"Block Add", "<name> <object>... [description=] [base=x,y,z]",
               "Defines a block from copies of objects (base point at the block's origin).", addBlock});
    table.add({"Block Set", "<block> [name=] [description=]", "Renames or describes a block.", setBlock});
    table.add({"Block Geometry", "<block> <object>... [base=x,y,z]",
               "Replaces a block's objects by copies of other objects.", setBlockGeometry});
    table.add({"Block Delete", "<block>", "Deletes a block that is not placed.", deleteBlock});
    table.add({"Block Undelete", "<block>", "Undeletes a deleted block.", undeleteBlock});
    table.add({"Block Insert", "<block> [point x,y,z] [name=] [layer=] [material=] [source=] [visible=] [mode=]",
               "Places a block (adds an instance reference).", insertBlock});
}

}  // namespace vantro::host
