// Material commands: add, change (colours, shine, transparency, reflectivity, index of
// refraction, name), set or remove a texture, delete and undelete. Each change is one
// material table event.

#include "host_session.h"
#include "references.h"
#include "sdk/io/document_format.h"
#include "sdk/document/rhino_doc.h"

namespace vantro::host {

namespace {

using Outcome = CommandOutcome;

constexpr std::array<std::string_view, 11> kMaterialOptions = {
    "name",        "diffuse", "ambient",      "emission",     "specular", "reflection",
    "transparent", "shine",   "transparency", "reflectivity", "ior"};

std::string materialLabel(const CRhinoDoc& doc, int index) {
    return "material " + std::to_string(index) + " " + inQuotes(doc.m_material_table[index].Name().ToUtf8());
}

bool applyColors(const CommandArgs& args, ON_Material& material, std::string& error) {
    const std::pair<const char*, ON_Color ON_Material::*> colors[] = {
        {"diffuse", &ON_Material::m_diffuse},       {"ambient", &ON_Material::m_ambient},
        {"emission", &ON_Material::m_emission},     {"specular", &ON_Material::m_specular},
        {"reflection", &ON_Material::m_reflection}, {"transparent", &ON_Material::m_transparent},
    };
    for (const auto& [key, field] : colors) {
        const std::string* text = args.option(key);
        if (!text)
            continue;
        const auto color = parseColor(*text, error);
        if (!color)
            return (error = std::string(key) + ": " + error, false);
        material.*field = *color;
    }
    return true;
}

// A number option within [min, max] (an open lower end when minOpen).
bool numberOption(const CommandArgs& args, const char* key, double min, double max, bool minOpen, double& out,
                  std::string& error) {
    const std::string* text = args.option(key);
    if (!text)
        return true;
    const auto value = parseNumber(*text, error);
    if (!value)
        return (error = std::string(key) + ": " + error, false);
    if (*value > max || *value < min || (minOpen && *value == min)) {
        error = std::string(key) + ": " + *text + " is outside " + (minOpen ? "(" : "[") + std::to_string(min) + ", " +
                std::to_string(max) + "]";
        return false;
    }
    out = *value;
    return true;
}

bool applyMaterialOptions(const CommandArgs& args, ON_Material& material, std::string& error) {
    if (const std::string* name = args.option("name"))
        material.SetName(ON_wString::FromUtf8(*name));
    return applyColors(args, material, error) &&
           numberOption(args, "shine", 0.0, ON_Material::MaxShine, false, material.m_shine, error) &&
           numberOption(args, "transparency", 0.0, 1.0, false, material.m_transparency, error) &&
           numberOption(args, "reflectivity", 0.0, 1.0, false, material.m_reflectivity, error) &&
           numberOption(args, "ior", 0.0, 1e6, true, material.m_index_of_refraction, error);
}

int materialArg(HostSession& session, const std::string& ref, Deleted deleted, Outcome& bad) {
    std::string error;
    const int index = findMaterial(*session.document(), ref, deleted, error);
    if (index < 0)
        bad = Outcome::bad(error);
    return index;
}

Outcome addMaterial(HostSession& session, const CommandArgs& args) {
    std::string error;
    if (args.count() != 1)
        return Outcome::bad("expected the new material's name");
    if (!args.onlyOptions(kMaterialOptions, error))
        return Outcome::bad(error);
    if (args.option("name"))
        return Outcome::bad("give the name as the first argument, not as name=");
    ON_Material material;
    material.SetName(ON_wString::FromUtf8(args[0]));
    if (!applyMaterialOptions(args, material, error))
        return Outcome::bad(error);
    CRhinoDoc& doc = *session.document();
    const int index = doc.m_material_table.AddMaterial(material);
    if (index < 0)
        return Outcome::fail("the material could not be added");
    session.message("Added " + materialLabel(doc, index) + ".");
    return Outcome::ok();
}

// Writes a changed copy of material index back (one modified event).
Outcome modifyMaterial(HostSession& session, int index, const ON_Material& material) {
    CRhinoDoc& doc = *session.document();
    if (!doc.m_material_table.ModifyMaterial(material, index, false))
        return Outcome::fail("the material could not be changed");
    session.message("Changed " + materialLabel(doc, index) + ".");
    return Outcome::ok();
}

Outcome setMaterial(HostSession& session, const CommandArgs& args) {
    std::string error;
    if (args.count() != 1 || args.options().empty())
        return Outcome::bad("expected a material and at least one option");
    if (!args.onlyOptions(kMaterialOptions, error))
        return Outcome::bad(error);
    Outcome bad;
    const int index = materialArg(session, args[0], Deleted::no, bad);
    if (index < 0)
        return bad;
    ON_Material material = session.document()->m_material_table[index];
    if (!applyMaterialOptions(args, material, error))
        return Outcome::bad(error);
    return modifyMaterial(session, index, material);
}

Outcome setTexture(HostSession& session, const CommandArgs& args) {
    std::string error;
    if (args.count() != 3)
        return Outcome::bad("expected a material, a texture type and a file (or none)");
    if (!args.onlyOptions({"on", "channel", "relative"}, error))
        return Outcome::bad(error);
    Outcome bad;
    const int index = materialArg(session, args[0], Deleted::no, bad);
    if (index < 0)
        return bad;
    std::optional<ON_Texture::TYPE> type;
    for (const auto& word : docio::kTextureTypeWords)
        if (sameWord(word.text, args[1]))
            type = word.value;
    if (!type)
        return Outcome::bad("type: expected " + docio::wordList(docio::kTextureTypeWords));
    ON_Texture texture;
    texture.m_type = *type;
    if (const std::string* on = args.option("on")) {
        const auto value = parseSwitch(*on, error);
        if (!value)
            return Outcome::bad("on: " + error);
        texture.m_bOn = *value;
    }
    if (const std::string* channel = args.option("channel")) {
        const auto value = parseInteger(*channel, 0, 0x7fffffff, error);
        if (!value)
            return Outcome::bad("channel: " + error);
        texture.m_mapping_channel_id = static_cast<unsigned int>(*value);
    }
    const bool remove = sameWord(args[2], "none");
    if (!remove && args[2].empty())
        return Outcome::bad("file: expected a path, or none");
    texture.m_image_file_reference = ON_FileReference::CreateFromFullPath(ON_wString::FromUtf8(args[2]));
    if (const std::string* relative = args.option("relative"))
        texture.m_image_file_reference.SetRelativePath(ON_wString::FromUtf8(*relative));

    ON_Material material = session.document()->m_material_table[index];
    const int existing = material.FindTexture(nullptr, *type);
    if (remove && existing < 0)
        return Outcome::bad("the material has no " + args[1] + " texture");
    if (existing >= 0)
        material.m_textures.Remove(existing);
    if (!remove)
        material.AddTexture(texture);
    return modifyMaterial(session, index, material);
}

Outcome deleteMaterial(HostSession& session, const CommandArgs& args) {
    if (args.count() != 1 || !args.options().empty())
        return Outcome::bad("expected a material");
    Outcome bad;
    const int index = materialArg(session, args[0], Deleted::no, bad);
    if (index < 0)
        return bad;
    CRhinoDoc& doc = *session.document();
    if (!doc.m_material_table.DeleteMaterial(index))
        return Outcome::fail("the material could not be deleted");
    session.message("Deleted " + materialLabel(doc, index) + ".");
    return Outcome::ok();
}

Outcome undeleteMaterial(HostSession& session, const CommandArgs& args) {
    if (args.count() != 1 || !args.options().empty())
        return Outcome::bad("expected a deleted material");
    Outcome bad;
    const int index = materialArg(session, args[0], Deleted::only, bad);
    if (index < 0)
        return bad;
    CRhinoDoc& doc = *session.document();
    if (!doc.m_material_table.UndeleteMaterial(index))
        return Outcome::fail("the material could not be undeleted");
    session.message("Undeleted " + materialLabel(doc, index) + ".");
    return Outcome::ok();
}

}  // namespace

void addMaterialCommands(CommandTable& table) {
    table.add({"Material Add", "<name> [diffuse=r,g,b] [transparency=0..1] [shine=0..255] [...]",
               "Adds a material (options as for Material Set).", addMaterial});
    table.add({"Material Set",
               "<material> [name=] [diffuse=|ambient=|emission=|specular=|reflection=|"
               "transparent=r,g,b] [shine=0..255] [transparency=0..1] [reflectivity=0..1] [ior=]",
               "Changes a material.", setMaterial});
    table.add({"Material Texture",
               "<material> <bitmap|bump|transparency|environment> <file|none> [on=on|off] "
               "[channel=] [relative=<path beside the document>]",
               "Sets or removes a material's texture of one type.", setTexture});
    table.add({"Material Delete", "<material>", "Deletes a material.", deleteMaterial});
    table.add({"Material Undelete", "<material>", "Undeletes a deleted material.", undeleteMaterial});
}

}  // namespace vantro::host
