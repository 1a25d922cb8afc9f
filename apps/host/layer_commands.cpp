// Layer commands: add, change (name, visibility, lock, colour, material, parent),
// delete, undelete and make current. Each change is one layer table event.

#include "host_session.h"
#include "references.h"
#include "sdk/document/rhino_doc.h"

namespace vantro::host {

namespace {

using Outcome = CommandOutcome;

constexpr std::array<std::string_view, 6> kLayerOptions = {"name", "visible", "locked", "color", "material", "parent"};

std::string layerLabel(const CRhinoDoc& doc, int index) {
    return "layer " + std::to_string(index) + " " + inQuotes(doc.m_layer_table[index].Name().ToUtf8());
}

// Applies the layer options present in args to layer (a copy). False with a message.
bool applyLayerOptions(const CRhinoDoc& doc, const CommandArgs& args, ON_Layer& layer, std::string& error) {
    if (const std::string* name = args.option("name")) {
        if (name->empty())
            return (error = "name: a layer needs a name", false);
        layer.SetName(ON_wString::FromUtf8(*name));
    }
    for (const char* key : {"visible", "locked"}) {
        const std::string* text = args.option(key);
        if (!text)
            continue;
        const auto on = parseSwitch(*text, error);
        if (!on)
            return (error = std::string(key) + ": " + error, false);
        if (key[0] == 'v')
            layer.SetVisible(*on);
        else
            layer.SetLocked(*on);
    }
    if (const std::string* text = args.option("color")) {
        const auto color = parseColor(*text, error);
        if (!color)
            return (error = "color: " + error, false);
        layer.SetColor(*color);
    }
    if (const std::string* text = args.option("material")) {
        const bool none = sameWord(*text, "none") || *text == "-1";
        const int index = none ? -1 : findMaterial(doc, *text, Deleted::no, error);
        if (!none && index < 0)
            return false;
        layer.SetRenderMaterialIndex(index);
    }
    if (const std::string* text = args.option("parent")) {
        if (sameWord(*text, "none")) {
            layer.SetParentLayerId(ON_nil_uuid);
        } else {
            const int parent = findLayer(doc, *text, Deleted::no, error);
            if (parent < 0)
                return false;
            layer.SetParentLayerId(doc.m_layer_table[parent].Id());
        }
    }
    return true;
}

int layerArg(HostSession& session, const std::string& ref, Deleted deleted, Outcome& bad) {
    std::string error;
    const int index = findLayer(*session.document(), ref, deleted, error);
    if (index < 0)
        bad = Outcome::bad(error);
    return index;
}

Outcome addLayer(HostSession& session, const CommandArgs& args) {
    std::string error;
    if (args.count() != 1 || args[0].empty())
        return Outcome::bad("expected the new layer's name");
    if (!args.onlyOptions(kLayerOptions, error))
        return Outcome::bad(error);
    if (args.option("name"))
        return Outcome::bad("give the name as the first argument, not as name=");
    CRhinoDoc& doc = *session.document();
    ON_Layer layer;
    layer.SetName(ON_wString::FromUtf8(args[0]));
    if (!applyLayerOptions(doc, args, layer, error))
        return Outcome::bad(error);
    const int index = doc.m_layer_table.AddLayer(layer);
    if (index < 0)
        return Outcome::fail("the layer could not be added");
    session.message("Added " + layerLabel(doc, index) + ".");
    return Outcome::ok();
}

Outcome setLayer(HostSession& session, const CommandArgs& args) {
    std::string error;
    if (args.count() != 1 || args.options().empty())
        return Outcome::bad("expected a layer and at least one option");
    if (!args.onlyOptions(kLayerOptions, error))
        return Outcome::bad(error);
    Outcome bad;
    const int index = layerArg(session, args[0], Deleted::no, bad);
    if (index < 0)
        return bad;
    CRhinoDoc& doc = *session.document();
    ON_Layer layer = doc.m_layer_table[index];
    if (!applyLayerOptions(doc, args, layer, error))
        return Outcome::bad(error);
    if (!doc.m_layer_table.ModifyLayer(layer, index))
        return Outcome::fail("the layer could not be changed");
    session.message("Changed " + layerLabel(doc, index) + ".");
    return Outcome::ok();
}

Outcome deleteLayer(HostSession& session, const CommandArgs& args) {
    if (args.count() != 1 || !args.options().empty())
        return Outcome::bad("expected a layer");
    Outcome bad;
    const int index = layerArg(session, args[0], Deleted::no, bad);
    if (index < 0)
        return bad;
    CRhinoDoc& doc = *session.document();
    if (!doc.m_layer_table.DeleteLayer(index))
        return Outcome::fail();
    session.message("Deleted " + layerLabel(doc, index) + ".");
    return Outcome::ok();
}

Outcome undeleteLayer(HostSession& session, const CommandArgs& args) {
    if (args.count() != 1 || !args.options().empty())
        return Outcome::bad("expected a deleted layer");
    Outcome bad;
    const int index = layerArg(session, args[0], Deleted::only, bad);
    if (index < 0)
        return bad;
    CRhinoDoc& doc = *session.document();
    if (!doc.m_layer_table.UndeleteLayer(index))
        return Outcome::fail("the layer could not be undeleted");
    session.message("Undeleted " + layerLabel(doc, index) + ".");
    return Outcome::ok();
}

Outcome currentLayer(HostSession& session, const CommandArgs& args) {
    if (args.count() != 1 || !args.options().empty())
        return Outcome::bad("expected a layer");
    Outcome bad;
    const int index = layerArg(session, args[0], Deleted::no, bad);
    if (index < 0)
        return bad;
    CRhinoDoc& doc = *session.document();
    if (!doc.m_layer_table.SetCurrentLayerIndex(index))
        return Outcome::fail("the layer could not be made current");
    session.message("The current layer is " + layerLabel(doc, index) + ".");
    return Outcome::ok();
}

}  // namespace

void addLayerCommands(CommandTable& table) {
    table.add({"Layer Add", "<name> [visible=on|off] [locked=on|off] [color=r,g,b] [material=] [parent=]",
               "Adds a layer.", addLayer});
    table.add({"Layer Set",
               "<layer> [name=] [visible=on|off] [locked=on|off] [color=r,g,b] [material=|none] "
               "[parent=|none]",
               "Changes a layer.", setLayer});
    table.add({"Layer Delete", "<layer>", "Deletes a layer (empty, not current, no child layers).", deleteLayer});
    table.add({"Layer Undelete", "<layer>", "Undeletes a deleted layer.", undeleteLayer});
    table.add({"Layer Current", "<layer>", "Makes a layer the one new objects go on.", currentLayer});
}

}  // namespace vantro::host
