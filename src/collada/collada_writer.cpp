#include "collada_writer.h"

#include <cstdint>
#include <cstdio>
#include <exception>
#include <vector>

#include "collada_escape.h"
#include "fixed_format.h"

namespace vantro::collada {
namespace {

constexpr std::string_view kAuthoringTool = "3.50rc.52";
constexpr double kChannelScale = 0.00390625;  // 1/256: a channel of 255 prints as 0.996

constexpr std::string_view kNodeEffect =
    "\t<effect id=\"effect-veloraNode\" name=\"Velora Node Material\">\n"
    "\t\t<profile_COMMON>\n"
    "\t\t\t<technique sid=\"common\">\n"
    "\t\t\t\t<phong>\n"
    "\t\t\t\t\t<ambient>\n"
    "\t\t\t\t\t\t<color>0.1 0.1 0.1 1.0</color>\n"
    "\t\t\t\t\t</ambient>\n"
    "\t\t\t\t\t<diffuse>\n"
    "\t\t\t\t\t\t<color>1.0 1.0 1.0 1.0</color>\n"
    "\t\t\t\t\t</diffuse>\n"
    "\t\t\t\t\t<transparent opaque=\"RGB_ZERO\">\n"
    "\t\t\t\t\t\t<color>0.01 0.01 0.01 0.01</color>\n"
    "\t\t\t\t\t</transparent>\n"
    "\t\t\t\t\t<transparency>\n"
    "\t\t\t\t\t\t<float>1</float>\n"
    "\t\t\t\t\t</transparency>\n"
    "\t\t\t\t</phong>\n"
    "\t\t\t</technique>\n"
    "\t\t</profile_COMMON>\n"
    "\t\t<extra>\n"
    "\t\t\t<technique profile=\"VELORA\">\n"
    "\t\t\t\t<surface_type>invisible</surface_type>\n"
    "\t\t\t</technique>\n"
    "\t\t</extra>\n"
    "\t</effect>\n";

constexpr std::string_view kNodeMaterial =
    "\t<material id=\"material-veloraNode\" name=\"Velora Node Material\">\n"
    "\t\t<instance_effect url=\"#effect-veloraNode\" />\n"
    "\t</material>\n";

constexpr std::string_view kNodeGeometry =
    "\t<geometry id=\"veloraNode\" name=\"Velora Node Geometry\">\n"
    "\t\t<mesh>\n"
    "\t\t\t<source id=\"veloraNode-positions\">\n"
    "\t\t\t\t<float_array id=\"veloraNode-positions-array\" count=\"9\">0 0 -0.000001 0.000001 0 0.000001 -0.000001 0 "
    "0.01</float_array>\n"
    "\t\t\t\t<technique_common>\n"
    "\t\t\t\t\t<accessor source=\"#veloraNode-positions-array\" count=\"3\" stride=\"3\">\n"
    "\t\t\t\t\t\t<param name=\"X\" type=\"float\"/>\n"
    "\t\t\t\t\t\t<param name=\"Y\" type=\"float\"/>\n"
    "\t\t\t\t\t\t<param name=\"Z\" type=\"float\"/>\n"
    "\t\t\t\t\t</accessor>\n"
    "\t\t\t\t</technique_common>\n"
    "\t\t\t</source>\n"
    "\t\t\t<source id=\"veloraNode-normals\">\n"
    "\t\t\t\t<float_array id=\"veloraNode-normals-array\" count=\"9\">0 1 0 0 1 0 0 1 0</float_array>\n"
    "\t\t\t\t<technique_common>\n"
    "\t\t\t\t\t<accessor source=\"#veloraNode-normals-array\" count=\"3\" stride=\"3\">\n"
    "\t\t\t\t\t\t<param name=\"X\" type=\"float\"/>\n"
    "\t\t\t\t\t\t<param name=\"Y\" type=\"float\"/>\n"
    "\t\t\t\t\t\t<param name=\"Z\" type=\"float\"/>\n"
    "\t\t\t\t\t</accessor>\n"
    "\t\t\t\t</technique_common>\n"
    "\t\t\t</source>\n"
    "\t\t\t<source id=\"veloraNode-uv\">\n"
    "\t\t\t\t<float_array id=\"veloraNode-uv-array\" count=\"6\">0 0 1 0 0 0</float_array>\n"
    "\t\t\t\t<technique_common>\n"
    "\t\t\t\t\t<accessor source=\"#veloraNode-uv-array\" count=\"3\" stride=\"2\">\n"
    "\t\t\t\t\t\t<param name=\"S\" type=\"float\"/>\n"
    "\t\t\t\t\t\t<param name=\"T\" type=\"float\"/>\n"
    "\t\t\t\t\t</accessor>\n"
    "\t\t\t\t</technique_common>\n"
    "\t\t\t</source>\n"
    "\t\t\t<vertices id=\"veloraNode-vertices\">\n"
    "\t\t\t\t<input semantic=\"POSITION\" source=\"#veloraNode-positions\"/>\n"
    "\t\t\t</vertices>\n"
    "\t\t\t<triangles count=\"1\" material=\"material-veloraNode\">\n"
    "\t\t\t\t<input offset=\"0\" semantic=\"VERTEX\" source=\"#veloraNode-vertices\"/>\n"
    "\t\t\t\t<input offset=\"0\" semantic=\"NORMAL\" source=\"#veloraNode-normals\"/>\n"
    "\t\t\t\t<input offset=\"0\" semantic=\"TEXCOORD\" source=\"#veloraNode-uv\" set=\"0\"/>\n"
    "\t\t\t\t<p>0 1 2</p>\n"
    "\t\t\t</triangles>\n"
    "\t\t</mesh>\n"
    "\t</geometry>\n";

constexpr std::string_view kNodeInstance =
    "\t<instance_geometry url=\"#veloraNode\">\n"
    "\t\t<bind_material>\n"
    "\t\t\t<technique_common>\n"
    "\t\t\t\t<instance_material target=\"#material-veloraNode\" symbol=\"material-veloraNode\" />\n"
    "\t\t\t</technique_common>\n"
    "\t\t</bind_material>\n"
    "\t</instance_geometry>\n";

}  // namespace

std::string asctimeText(const std::tm& time) {
    static constexpr char kDays[7][4] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr char kMonths[12][4] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const char* day = time.tm_wday >= 0 && time.tm_wday < 7 ? kDays[time.tm_wday] : "???";
    const char* month = time.tm_mon >= 0 && time.tm_mon < 12 ? kMonths[time.tm_mon] : "???";
    char text[64];
    const int length = std::snprintf(text, sizeof text, "%.3s %.3s%3d %.2d:%.2d:%.2d %lld\n", day, month, time.tm_mday,
                                     time.tm_hour, time.tm_min, time.tm_sec, 1900LL + time.tm_year);
    return std::string(text, static_cast<std::size_t>(length));
}

std::string dateTimeText(const std::tm& time) {
    char text[64];
    const int length = std::snprintf(text, sizeof text, "%04lld-%.2d-%.2dT%.2d:%.2d:%.2d", 1900LL + time.tm_year,
                                     time.tm_mon + 1, time.tm_mday, time.tm_hour, time.tm_min, time.tm_sec);
    return std::string(text, static_cast<std::size_t>(length));
}

std::string createdText(const std::tm& time, DocumentForm form) {
    return form == DocumentForm::schemaValid ? dateTimeText(time) : asctimeText(time);
}

ColladaWriter::ColladaWriter(DocumentOutput& out, bool exportNodes, StatusSink status, DocumentForm form)
    : out_(out), exportNodes_(exportNodes), status_(std::move(status)), form_(form) {}

void ColladaWriter::status(std::u16string_view text) const {
    if (status_)
        status_(text);
}

std::string ColladaWriter::nameText(std::string_view name) const {
    return schemaValid() ? ncNameText(name) : escapeXml(name);
}

void ColladaWriter::writeNodeBlock(std::string_view text) {
    if (!schemaValid()) {
        out_ << text;
        return;
    }
    // The fixed names carry blanks, which an XML name cannot.
    constexpr std::string_view kFixedName = " name=\"Velora Node ";
    for (std::size_t at = text.find(kFixedName); at != std::string_view::npos; at = text.find(kFixedName)) {
        out_ << text.substr(0, at) << " name=\"Velora_Node_";
        text.remove_prefix(at + kFixedName.size());
    }
    out_ << text;
}

void ColladaWriter::writeFixed3(double value) {
    char text[kMaxFixedChars];
    out_ << std::string_view(text, static_cast<std::size_t>(writeFixed(text, value, 3) - text));
}

void ColladaWriter::writeCount(std::uint64_t value) {
    char text[24];
    out_ << std::string_view(text, static_cast<std::size_t>(writeUnsigned(text, value) - text));
}

void ColladaWriter::writeColor(std::uint32_t argb, double alpha) {
    writeFixed3(((argb >> 16) & 0xFF) * kChannelScale);
    out_ << ' ';
    writeFixed3(((argb >> 8) & 0xFF) * kChannelScale);
    out_ << ' ';
    writeFixed3((argb & 0xFF) * kChannelScale);
    out_ << ' ';
    writeFixed3(alpha);
}

void ColladaWriter::writeStart(std::string_view createdText) {
    out_ << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
         << "<COLLADA xmlns=\"http://www.collada.org/2005/11/COLLADASchema\" version=\"1.4.1\">\n";
    status(u"Velora Collada exporter: processing assets\u2026");
    out_ << "<asset>\n"
         << "<contributor>\n"
         << "<authoring_tool>Rhino Velora COLLADA exporter ver " << kAuthoringTool << " for Velora.</authoring_tool>\n"
         << "</contributor>\n"
         << "<created>" << createdText << "</created>\n";
    if (schemaValid())
        out_ << "<modified>" << createdText << "</modified>\n";
    out_ << "<unit name=\"meter\" meter=\"1.00\"/>\n"
         << "<up_axis>Z_UP</up_axis>\n"
         << "</asset>\n";
}

void ColladaWriter::beginImages() {
    status(u"Velora Collada exporter: processing images\u2026");
    // The schema wants at least one image in the library: it opens with the first.
    imagesOpen_ = !schemaValid();
    if (imagesOpen_)
        out_ << "<library_images>\n";
}

void ColladaWriter::planIds(std::span<const MaterialRow> materials, std::span<const GeometryText* const> geometries,
                            std::span<const NodeElement* const> nodes) {
    std::vector<std::string_view> materialNames, geometryNames, nodeIds;
    for (const MaterialRow& m : materials)
        materialNames.push_back(m.name);
    for (const GeometryText* g : geometries)
        geometryNames.push_back(g->id);
    for (const NodeElement* n : nodes)
        nodeIds.push_back(n->id);
    ids_ = DocumentIds(materialNames, geometryNames, nodeIds, exportNodes_, form_);
    materialByName_.clear();
    for (std::size_t i = 0; i < materials.size(); ++i)
        materialByName_.emplace(materials[i].name, i);
}

std::string ColladaWriter::materialKey(std::string_view name) const {
    const auto found = materialByName_.find(std::string(name));
    return escapeXml(ids_.material(found == materialByName_.end() ? SIZE_MAX : found->second, name));
}

void ColladaWriter::writeImage(std::string_view name, std::u16string_view relativePath) {
    if (relativePath.empty())
        return;
    if (!imagesOpen_)
        out_ << "<library_images>\n";
    imagesOpen_ = true;
    const std::string key = materialKey(name);
    out_ << "<image id=\"image-" << key << "\" name=\"image-" << key << "\">\n"
         << "<init_from>" << escapeXml(percentEncodeImagePath(relativePath)) << "</init_from>\n"
         << "</image>\n";
}

void ColladaWriter::endImages() {
    if (imagesOpen_)
        out_ << "</library_images>\n";
    imagesOpen_ = false;
}

void ColladaWriter::writeEffects(std::span<const MaterialRow> materials) {
    status(u"Velora Collada exporter: processing effects\u2026");
    if (schemaValid() && materials.empty() && !exportNodes_)
        return;
    out_ << "<library_effects>\n";
    for (std::size_t i = 0; i < materials.size(); ++i) {
        writeEffect(materials[i], escapeXml(ids_.material(i, materials[i].name)));
    }
    if (exportNodes_)
        writeNodeBlock(kNodeEffect);
    out_ << "</library_effects>\n";
}

void ColladaWriter::writeEffect(const MaterialRow& m, std::string_view n) {
    out_ << "<effect id=\"effect-" << n << "\" name=\"" << nameText(m.name) << "\">\n"
         << "<profile_COMMON>\n";
    if (m.textured) {
        // The renderer's layout has no type, which the schema requires.
        const std::string_view surface = schemaValid() ? "  <surface type=\"2D\">\n" : "  <surface>\n";
        out_ << " <newparam sid=\"surface-" << n << "\">\n"
             << surface << "   <init_from>image-" << n << "</init_from>\n"
             << "  </surface>\n"
             << " </newparam>\n"
             << " <newparam sid=\"sampler2d-" << n << "\">\n"
             << "  <sampler2D>\n"
             << "   <source>surface-" << n << "</source>\n"
             << "  </sampler2D>\n"
             << " </newparam>\n";
    }
    out_ << "<technique sid=\"common\">\n"
         << "<phong>\n"
         << "<ambient>\n"
         << "<color>0.1 0.1 0.1 1.0</color>\n"
         << "</ambient>\n"
         << "<diffuse>\n";
    if (m.textured) {
        out_ << "<texture texture=\"sampler2d-" << n << "\" texcoord=\"CHANNEL0\"/>\n";
    } else {
        out_ << "<color>";
        writeColor(m.diffuse, m.opacity);
        out_ << "</color>\n";
    }
    out_ << "</diffuse>\n"
         << "<specular>\n"
         << "<color>";
    writeColor(m.specular, 1.0);
    out_ << "</color>\n"
         << "</specular>\n"
         << "<shininess>\n"
         << "<float>";
    writeFixed3(m.shine);
    out_ << "</float>\n"
         << "</shininess>\n"
         << "<reflective>\n"
         << "<color>0 0 0 1.0</color>\n"
         << "</reflective>\n"
         << "<reflectivity>\n"
         << "<float>1.0</float>\n"
         << "</reflectivity>\n"
         << "<transparent opaque=\"RGB_ZERO\">\n"
         << "<color>";
    for (int i = 0; i < 4; ++i) {
        if (i != 0)
            out_ << ' ';
        writeFixed3(m.opacity);
    }
    out_ << "</color>\n"
         << "</transparent>\n"
         << "<transparency>\n"
         << "<float>1</float>\n"
         << "</transparency>\n"
         << "</phong>\n"
         << "</technique>\n"
         << "</profile_COMMON>\n";
    const std::string libraryId = escapeXml(m.libraryId);
    if (!m.typeName.empty() || !libraryId.empty()) {
        out_ << "<extra>\n"
             << "<technique profile=\"VELORA\">\n";
        if (!m.typeName.empty())
            out_ << "<surface_type>" << escapeXml(m.typeName) << "</surface_type>\n";
        if (!libraryId.empty())
            out_ << "<library_id>" << libraryId << "</library_id>\n";
        out_ << "</technique>\n"
             << "</extra>\n";
    }
    out_ << "</effect>\n";
}

void ColladaWriter::writeMaterials(std::span<const MaterialRow> materials) {
    status(u"Velora Collada exporter: processing materials\u2026");
    if (schemaValid() && materials.empty() && !exportNodes_)
        return;
    out_ << "<library_materials>\n";
    for (std::size_t i = 0; i < materials.size(); ++i) {
        const std::string key = escapeXml(ids_.material(i, materials[i].name));
        out_ << "<material id=\"material-" << key << "\" name=\"" << nameText(materials[i].name) << "\">\n"
             << "<instance_effect url=\"#effect-" << key << "\" />\n"
             << "</material>\n";
    }
    if (exportNodes_)
        writeNodeBlock(kNodeMaterial);
    out_ << "</library_materials>\n";
}

void ColladaWriter::writeGeometries(std::span<const GeometryText* const> geometries) {
    beginGeometries(geometries.size());
    for (std::size_t j = 0; j < geometries.size(); ++j) {
        if (!writeGeometry(j, *geometries[j]))
            break;
    }
    endGeometries();
}

void ColladaWriter::beginGeometries(std::size_t count) {
    status(u"Velora Collada exporter: processing geometries\u2026");
    geometryList_ = GeometryList::closed;
    if (schemaValid() && count == 0 && !exportNodes_)
        return;
    out_ << "<library_geometries>\n";
    geometryList_ = GeometryList::open;
}

bool ColladaWriter::writeGeometry(std::size_t index, const GeometryText& g) {
    if (geometryList_ != GeometryList::open)
        return false;
    try {
        writeGeometryElement(g, escapeXml(ids_.geometry(index, g.id)), escapeXml(ids_.materialOfGeometry(index, g.id)));
        return true;
    } catch (const FileWriteError&) {
        throw;  // the file is broken: nothing after this may pass for a document
    } catch (const std::exception&) {
        // One broken geometry must not cost the rest of the document.
        geometryList_ = GeometryList::ended;
        return false;
    }
}

void ColladaWriter::endGeometries() {
    if (geometryList_ == GeometryList::closed)
        return;
    if (exportNodes_)
        writeNodeBlock(kNodeGeometry);
    out_ << "</library_geometries>\n";
    geometryList_ = GeometryList::closed;
}

void ColladaWriter::writeSource(std::string_view id, std::string_view suffix, std::string_view numbers,
                                std::string_view closing, std::uint64_t vertexCount, int stride) {
    out_ << "<source id=\"" << id << suffix << "\">\n"
         << "<float_array id=\"" << id << suffix << "-array\" count=\"";
    writeCount(static_cast<std::uint64_t>(stride) * vertexCount);
    out_ << "\">\n";
    out_.writeLineFree(numbers);
    out_ << closing << "<technique_common>\n"
         << "<accessor source=\"#" << id << suffix << "-array\" count=\"";
    writeCount(vertexCount);
    if (stride == 3) {
        out_ << "\" stride=\"3\">\n"
             << "<param name=\"X\" type=\"float\"/>\n"
             << "<param name=\"Y\" type=\"float\"/>\n"
             << "<param name=\"Z\" type=\"float\"/>\n";
    } else {
        out_ << "\" stride=\"2\">\n"
             << "<param name=\"S\" type=\"float\"/>\n"
             << "<param name=\"T\" type=\"float\"/>\n";
    }
    out_ << "</accessor>\n"
         << "</technique_common>\n"
         << "</source>\n";
}

void ColladaWriter::writeGeometryElement(const GeometryText& g, std::string_view id, std::string_view material) {
    const std::uint64_t v = g.vertexCount;
    out_ << "<geometry id=\"" << id << "\" name=\"" << nameText(g.id) << "\">\n"
         << "<mesh>\n";
    writeSource(id, "-positions", g.positions, "</float_array>\n", v, 3);
    writeSource(id, "-normals", g.normals, "\n</float_array>\n", v, 3);
    writeSource(id, "-uv", g.texcoords, "</float_array>\n", v, 2);
    out_ << "<vertices id=\"" << id << "-vertices\">\n"
         << "<input semantic=\"POSITION\" source=\"#" << id << "-positions\"/>\n"
         << "</vertices>\n"
         << "<triangles count=\"";
    writeCount(g.indexCount / 3);
    out_ << "\" material=\"material-" << material << "\">\n"
         << "<input offset=\"0\" semantic=\"VERTEX\" source=\"#" << id << "-vertices\"/>\n"
         << "<input offset=\"0\" semantic=\"NORMAL\" source=\"#" << id << "-normals\"/>\n"
         << "<input offset=\"0\" semantic=\"TEXCOORD\" source=\"#" << id << "-uv\" set=\"0\"/>\n"
         << "<p>";
    out_.writeLineFree(g.indices);
    out_ << "</p>\n"
         << "</triangles>\n"
         << "</mesh>\n"
         << "</geometry>\n";
}

void ColladaWriter::writeVisualScene(std::span<const GeometryText* const> geometries,
                                     std::span<const NodeElement* const> nodes) {
    status(u"Velora Collada exporter: processing nodes\u2026");
    out_ << "<library_visual_scenes>\n"
         << "<visual_scene id=\"Rhino_project\">\n"
         << "<node id=\"node-veloraModel\" name=\"geometry-veloraModel\">\n";
    for (std::size_t j = 0; j < geometries.size(); ++j) {
        const std::string g = escapeXml(ids_.geometry(j, geometries[j]->id));
        const std::string m = escapeXml(ids_.materialOfGeometry(j, geometries[j]->id));
        out_ << "<instance_geometry url=\"#" << g << "\">\n"
             << "<bind_material>\n"
             << "<technique_common>\n"
             << "<instance_material target=\"#material-" << m << "\" symbol=\"material-" << m << "\" >\n"
             << "</instance_material>\n"
             << "</technique_common>\n"
             << "</bind_material>\n"
             << "</instance_geometry>\n";
    }
    out_ << "<extra>\n"
         << "<technique profile=\"VELORA\">\n"
         << "<flatten_hierarchy>true</flatten_hierarchy>\n"
         << "</technique>\n"
         << "</extra>\n"
         << "</node>\n";
    if (exportNodes_) {
        for (const NodeElement* node : nodes) {
            const std::string id = escapeXml(node->id);
            out_ << "<node id=\"node-" << id << "\" name=\"geometry-" << id << "\">\n"
                 << "<matrix>" << node->matrix << "</matrix>\n"
                 << kNodeInstance << "</node>\n";
        }
    }
    out_ << "</visual_scene>\n"
         << "</library_visual_scenes>\n"
         << "<scene>\n"
         << "<instance_visual_scene url=\"#Rhino_project\"/>\n"
         << "</scene>\n";
}

void ColladaWriter::writeEnd() {
    status(u"Velora Collada exporter: export complete.");
    out_ << "\t<extra>\n"
         << "\t\t<technique profile=\"VELORA\">\n"
         << "\t\t\t<export_nodes>" << (exportNodes_ ? "1" : "0") << "</export_nodes>\n"
         << "\t\t</technique>\n"
         << "\t</extra>\n"
         << "</COLLADA>\n";
}

void writeDocument(DocumentOutput& out, const DocumentInput& input, const StatusSink& status) {
    ColladaWriter writer(out, input.exportNodes, status, input.form);
    writer.planIds(input.materials, input.geometries, input.nodes);
    writer.writeStart(input.createdText);
    writer.beginImages();
    for (std::size_t i = 0; i < input.materials.size(); ++i) {
        if (i < input.imagePaths.size())
            writer.writeImage(input.materials[i].name, input.imagePaths[i]);
    }
    writer.endImages();
    writer.writeEffects(input.materials);
    writer.writeMaterials(input.materials);
    writer.writeGeometries(input.geometries);
    writer.writeVisualScene(input.geometries, input.nodes);
    writer.writeEnd();
    out.flush();
}

}  // namespace vantro::collada
