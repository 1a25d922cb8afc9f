#include "story_model.h"

#include <cmath>
#include <map>
#include <optional>
#include <sstream>

#include "sdk/document/on_material.h"

namespace vantro::test {

namespace {

// Words of a host command line: blanks separate, double quotes group.
std::vector<std::string> splitWords(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, any = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (any)
                words.push_back(word);
            word.clear();
            any = false;
        } else {
            word += c;
            any = true;
        }
    }
    if (any)
        words.push_back(word);
    return words;
}

std::optional<ON_3dPoint> parsePoint(const std::string& text) {
    ON_3dPoint p;
    char comma1 = 0, comma2 = 0;
    std::istringstream in(text);
    if (!(in >> p.x >> comma1 >> p.y >> comma2 >> p.z) || comma1 != ',' || comma2 != ',' || !in.eof())
        return std::nullopt;
    return p;
}

// "key=value" words after the first `skip` words.
std::map<std::string, std::string> options(const std::vector<std::string>& words, size_t skip) {
    std::map<std::string, std::string> found;
    for (size_t i = skip; i < words.size(); ++i) {
        const size_t eq = words[i].find('=');
        found[eq == std::string::npos ? words[i] : words[i].substr(0, eq)] =
            eq == std::string::npos ? "" : words[i].substr(eq + 1);
    }
    return found;
}

// The name a material record carries: "Material-" and the name with blanks and ASCII
// punctuation other than - . _ made "_".
std::string recordName(const std::string& name) {
    std::string out = "Material-";
    for (unsigned char c : name) {
        const bool punctuation = (c >= 0x20 && c <= 0x2C) || c == 0x2F || (c >= 0x3A && c <= 0x40) ||
                                 (c >= 0x5B && c <= 0x5E) || c == 0x60 || (c >= 0x7B && c <= 0x7E);
        out += punctuation ? '_' : char(c);
    }
    return out;
}

int meshTriangles(const ON_Mesh& mesh) {
    int triangles = 0;
    for (int i = 0; i < mesh.FaceCount(); ++i)
        triangles += mesh.m_F[i].IsQuad() ? 2 : 1;
    // An open surface is sent with its back copy, so that it shows from both sides.
    return mesh.IsClosed() ? triangles : 2 * triangles;
}

std::optional<double> metresPer(const std::string& unit) {
    static const std::map<std::string, double> kUnits = {
        {"millimeters", 0.001}, {"centimeters", 0.01}, {"meters", 1.0}, {"inches", 0.0254}, {"feet", 0.3048}};
    const auto found = kUnits.find(unit);
    return found == kUnits.end() ? std::nullopt : std::optional<double>(found->second);
}

void toRenderer(const ON_3dPoint& p, double scale, double* out) {
    out[0] = p.x * scale, out[1] = p.z * scale, out[2] = p.y * scale;
}

}  // namespace

std::vector<StoryStep> parseStory(const std::string& text) {
    std::vector<StoryStep> steps;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos)
            continue;
        line = line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
        if (line.rfind("##", 0) == 0)
            steps.push_back({line.substr(line.find_first_not_of("# ")), {}});
        else if (line[0] != '#' && !steps.empty())
            steps.back().lines.push_back(line);
    }
    return steps;
}

StoryModel::StoryModel(const docio::DocumentData& document) {
    metresPerUnit_ = ON::UnitScale(document.units, ON::LengthUnitSystem::Meters);
    for (const ON_Material& m : document.materials) {
        bool textured = false;
        for (int i = 0; i < m.m_textures.Count(); ++i)
            textured = textured || m.m_textures[i].m_type == ON_Texture::bitmap_texture;
        const ON_Color c = m.Diffuse();
        materials_.push_back({m.Name().ToUtf8(),
                              {c.Red() / 255.0, c.Green() / 255.0, c.Blue() / 255.0},
                              1.0 - m.Transparency(),
                              textured});
    }
    for (const ON_Layer& layer : document.layers)
        layers_.push_back({layer.Name().ToUtf8(), layer.IsVisible(), layer.RenderMaterialIndex()});
    for (const docio::ObjectData& object : document.objects) {
        if (object.attributes.Mode() != ON::idef_object)  // block members come with their placements
            addObject(document, object);
    }
    if (!document.views.empty()) {
        const ON_Viewport& vp = document.views[document.activeView < 0 ? 0 : size_t(document.activeView)].viewport;
        hasCamera_ = vp.IsPerspectiveProjection();
        camera_ = vp.CameraLocation();
        cameraDirection_ = vp.CameraDirection();
    }
}

void StoryModel::addObject(const docio::DocumentData& document, const docio::ObjectData& object) {
    const ON_3dmObjectAttributes& a = object.attributes;
    const bool shown = a.IsVisible() && a.Mode() != ON::hidden_object;
    if (!object.isInstance) {
        addPieces(object, ON_Xform::IdentityTransformation, {a.m_layer_index}, shown, resolveMaterial(a, -1));
        return;
    }
    for (const docio::InstanceDefinitionData& definition : document.definitions) {
        if (!(definition.definition.Id() == object.definitionId))
            continue;
        for (const ON_UUID& member : definition.members) {
            for (const docio::ObjectData& part : document.objects) {
                if (part.attributes.m_uuid == member)
                    addPieces(part, object.instanceXform, {a.m_layer_index, part.attributes.m_layer_index},
                              shown && part.attributes.IsVisible(),
                              resolveMaterial(part.attributes, resolveMaterial(a, -1)));
            }
        }
    }
}

void StoryModel::addPieces(const docio::ObjectData& object, const ON_Xform& placement, std::vector<int> layers,
                           bool shown, int material) {
    std::vector<std::shared_ptr<ON_Mesh>> meshes = object.renderMeshes;
    if (object.mesh)
        meshes = {object.mesh};
    for (const auto& mesh : meshes) {
        Piece piece{object.attributes.m_name.ToUtf8(), layers, shown, material, meshTriangles(*mesh), {}};
        for (int i = 0; i < mesh->VertexCount(); ++i) {
            const ON_3fPoint& v = mesh->m_V[i];
            piece.points.push_back(placement * ON_3dPoint{v.x, v.y, v.z});
        }
        pieces_.push_back(std::move(piece));
    }
}

int StoryModel::resolveMaterial(const ON_3dmObjectAttributes& attributes, int parentMaterial) const {
    switch (attributes.MaterialSource()) {
        case ON::material_from_object: return attributes.m_material_index;
        case ON::material_from_parent:
            if (parentMaterial >= 0)
                return parentMaterial;
            [[fallthrough]];
        default:
            return attributes.m_layer_index >= 0 && size_t(attributes.m_layer_index) < layers_.size()
                       ? layers_[size_t(attributes.m_layer_index)].material
                       : -1;
    }
}

bool StoryModel::apply(const std::string& line, std::string& why) {
    const std::vector<std::string> words = splitWords(line);
    const std::string command = words.empty() ? "" : words[0];
    why = "cannot predict \"" + line + "\"";
    // Starting and stopping the link, waiting and drawing leave the model as it is: a
    // restarted link sends the same scene again.
    if (command == "Vantro" || command == "Wait" || command == "Redraw" || command == "Print")
        return true;
    if (command == "Move")
        return applyMove(words, why);
    if (command == "Material" && words.size() > 1 && words[1] == "Set")
        return applyMaterial(words, why);
    if (command == "Layer" && words.size() > 1 && words[1] == "Set")
        return applyLayer(words, why);
    if (command == "View" && words.size() > 1 && words[1] == "Camera")
        return applyView(words, why);
    if (command == "Units")
        return applyUnits(words, why);
    return false;
}

bool StoryModel::applyMove(const std::vector<std::string>& words, std::string& why) {
    const std::optional<ON_3dPoint> offset = words.size() == 3 ? parsePoint(words[2]) : std::nullopt;
    bool moved = false;
    for (Piece& piece : pieces_) {
        if (!offset || piece.object != words[1])
            continue;
        for (ON_3dPoint& p : piece.points)
            p = p + (*offset - ON_3dPoint{});
        moved = true;
    }
    if (!moved)
        why += ": no object of that name, or a bad offset";
    return moved;
}

bool StoryModel::applyMaterial(const std::vector<std::string>& words, std::string& why) {
    const auto given = options(words, 3);
    const auto diffuse = given.count("diffuse") ? parsePoint(given.at("diffuse")) : std::nullopt;
    for (Material& m : materials_) {
        if (words.size() < 3 || m.name != words[2] || given.size() != 1 || !diffuse)
            continue;
        m.diffuse[0] = diffuse->x / 255, m.diffuse[1] = diffuse->y / 255, m.diffuse[2] = diffuse->z / 255;
        return true;
    }
    why += ": only diffuse= of a material named in the document";
    return false;
}

bool StoryModel::applyLayer(const std::vector<std::string>& words, std::string& why) {
    const auto given = options(words, 3);
    for (Layer& layer : layers_) {
        if (words.size() < 3 || layer.name != words[2] || given.size() != 1 || !given.count("visible"))
            continue;
        layer.visible = given.at("visible") == "on";
        return true;
    }
    why += ": only visible= of a layer named in the document";
    return false;
}

bool StoryModel::applyView(const std::vector<std::string>& words, std::string& why) {
    const auto location = words.size() == 4 ? parsePoint(words[2]) : std::nullopt;
    const auto target = words.size() == 4 ? parsePoint(words[3]) : std::nullopt;
    if (!location || !target) {
        why += ": only a location and a target for the active view";
        return false;
    }
    camera_ = *location;
    cameraDirection_ = *target - *location;
    return true;
}

bool StoryModel::applyUnits(const std::vector<std::string>& words, std::string& why) {
    const auto metres = words.size() == 3 ? metresPer(words[1]) : std::nullopt;
    if (!metres || words[2] != "scale=on") {
        why += ": only a change with scaling, to a unit this model knows";
        return false;
    }
    // Scaling keeps every size in metres: the numbers shrink as the unit grows, and the
    // cameras move with the model.
    const double s = metresPerUnit_ / *metres;
    for (Piece& piece : pieces_) {
        for (ON_3dPoint& p : piece.points)
            p = p * s;
    }
    camera_ = camera_ * s;
    metresPerUnit_ = *metres;
    return true;
}

MirrorView StoryModel::predict() const {
    MirrorView view;
    // Objects without a material of their own or of their layer take the application's.
    const ON_Color c = ON_Material::Default.Diffuse();
    const Material fallback{"Default", {c.Red() / 255.0, c.Green() / 255.0, c.Blue() / 255.0}, 1.0, false};
    for (const Piece& piece : pieces_) {
        bool visible = piece.shown;
        for (int layer : piece.layers)
            visible = visible && layer >= 0 && size_t(layer) < layers_.size() && layers_[size_t(layer)].visible;
        if (!visible || piece.triangles == 0)
            continue;
        const bool known = piece.material >= 0 && size_t(piece.material) < materials_.size();
        const Material& m = known ? materials_[size_t(piece.material)] : fallback;
        MaterialView& out = view.materials[recordName(m.name)];
        out.triangles += piece.triangles;
        for (int i = 0; i < 3; ++i)
            out.diffuse[i] = m.textured ? 1.0 : m.diffuse[i];
        out.opacity = m.opacity;
        for (const ON_3dPoint& p : piece.points) {
            double r[3];
            toRenderer(p, metresPerUnit_, r);
            out.bounds.add(r[0], r[1], r[2]);
        }
    }
    // Every material of the document travels, and the application's default one too.
    view.materialCount = materials_.size() + 1;
    for (const Material& m : materials_)
        view.textured += m.textured ? 1 : 0;
    view.camera = hasCamera_;
    if (hasCamera_) {
        toRenderer(camera_, metresPerUnit_, view.position);
        const double length = cameraDirection_.Length();
        const ON_3dPoint back = ON_3dPoint{} - cameraDirection_ * (length > 0 ? 1 / length : 0);
        toRenderer(back, 1.0, view.direction);
    }
    return view;
}

}  // namespace vantro::test
