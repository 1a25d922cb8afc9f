#pragma once
// The COLLADA 1.4.1 document, text for text, streamed in one sequential pass from plain
// rows that the exporter prepared: material rows for images, effects and materials,
// geometry texts formatted ahead (in parallel), and node elements. The sections are
// called in document order; each shows its status text when it begins.
//
// The text uses "\n"; the output turns every line feed into CR LF. Every name, id and
// path is XML-escaped, and ids are the names' id forms made unique (document_ids.h):
// names without characters that need either come out exactly as given.
//
// The schema-valid form (document_form.h) differs only where the renderer's layout
// breaks the strict schema: <created> and <modified> hold an xs:dateTime, a texture's
// <surface> says type="2D", names are written in their XML-name form (ncNameText) and
// ids are built from it, the node block's names have "_" for blanks, and a library
// with nothing to hold is left out.

#include <cstdint>
#include <ctime>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include <unordered_map>

#include "document_form.h"
#include "document_ids.h"
#include "collada/document_output.h"
#include "collada/geometry_text.h"
#include "collada/node_element.h"

namespace vantro::collada {

// One material of the document as its effect and material entries need it.
struct MaterialRow {
    std::string name;                     // N: UTF-8 display name
    std::string typeName;                 // the material type's word ("water", ...); empty for none
    std::string libraryId;                // UTF-8, unescaped; empty for none
    std::uint32_t diffuse = 0xFFAAAAAA;   // 0xAARRGGBB
    std::uint32_t specular = 0xFFAAAAAA;  // 0xAARRGGBB
    float shine = 1.0f;                   // 0..1
    float opacity = 1.0f;                 // 1 - transparency
    bool textured = false;                // the material holds a texture path or image when effects are written
};

// Receives the status texts of the stages as they begin (may be empty: no status).
using StatusSink = std::function<void(std::u16string_view)>;

// The <created> text: the C library's asctime form of time, "Www Mmm dd hh:mm:ss yyyy\n".
std::string asctimeText(const std::tm& time);
// The xs:dateTime of time without a zone, "yyyy-mm-ddThh:mm:ss".
std::string dateTimeText(const std::tm& time);
// The <created> text of form: asctimeText for the renderer's, dateTimeText otherwise.
std::string createdText(const std::tm& time, DocumentForm form);

class ColladaWriter {
public:
    // out must outlive the writer. exportNodes adds the node effect, material and geometry,
    // the placement nodes, and says 1 in the closing extra.
    ColladaWriter(DocumentOutput& out, bool exportNodes, StatusSink status, DocumentForm form = DocumentForm::renderer);

    // Gives every material and geometry its ids, before anything is written. The same
    // materials (in the same order) and geometries must then be passed to the sections
    // below. Only the geometries' ids are read: their number lists may still be empty.
    // Without it, every id is the name's id form as it stands.
    void planIds(std::span<const MaterialRow> materials, std::span<const GeometryText* const> geometries,
                 std::span<const NodeElement* const> nodes);

    // XML declaration, root element and asset; createdText is written as given
    // (createdText()), in the schema-valid form also as the <modified> text.
    void writeStart(std::string_view createdText);

    // The image library: beginImages, one writeImage per material, endImages.
    void beginImages();
    // Writes the image of the (first) material named name when relativePath is not empty
    // (percent-encoded).
    void writeImage(std::string_view name, std::u16string_view relativePath);
    void endImages();

    void writeEffects(std::span<const MaterialRow> materials);
    void writeMaterials(std::span<const MaterialRow> materials);
    // Geometries in the given order. An exception while they are written ends the list
    // early and the node geometry and the closing tag are still written, unless it is
    // the file's own failure (FileWriteError), which goes on to the caller.
    void writeGeometries(std::span<const GeometryText* const> geometries);
    // The same list one geometry at a time, for geometries formatted while the list is
    // written: beginGeometries with their count, then writeGeometry for them in order
    // (index: the geometry's place in planIds), then endGeometries. writeGeometry gives
    // false when an exception ended the list (the geometry's text is left incomplete and
    // further calls write nothing); FileWriteError goes on to the caller.
    void beginGeometries(std::size_t count);
    bool writeGeometry(std::size_t index, const GeometryText& geometry);
    void endGeometries();
    void writeVisualScene(std::span<const GeometryText* const> geometries, std::span<const NodeElement* const> nodes);
    // The closing extra and the end of the root element; shows "export complete".
    void writeEnd();

private:
    void status(std::u16string_view text) const;
    bool schemaValid() const { return form_ == DocumentForm::schemaValid; }
    // A name attribute's text in this form.
    std::string nameText(std::string_view name) const;
    // text, with the node block's names in this form.
    void writeNodeBlock(std::string_view text);
    // The escaped key of the first material named name.
    std::string materialKey(std::string_view name) const;
    // key and material: the escaped keys of the geometry and of its material.
    void writeEffect(const MaterialRow& material, std::string_view key);
    void writeGeometryElement(const GeometryText& geometry, std::string_view key, std::string_view material);
    // One source with its float array (closed by closing) and accessor; stride 3 (X Y Z)
    // or 2 (S T).
    void writeSource(std::string_view id, std::string_view suffix, std::string_view numbers, std::string_view closing,
                     std::uint64_t vertexCount, int stride);
    void writeColor(std::uint32_t argb, double alpha);
    void writeFixed3(double value);
    void writeCount(std::uint64_t value);

    DocumentOutput& out_;
    bool exportNodes_;
    StatusSink status_;
    DocumentForm form_;
    bool imagesOpen_ = false;  // <library_images> written
    // <library_geometries>: not written (or closed), written, or written and ended early.
    enum class GeometryList { closed, open, ended };
    GeometryList geometryList_ = GeometryList::closed;
    DocumentIds ids_;
    std::unordered_map<std::string, std::size_t> materialByName_;
};

// A whole document from plain rows: images are the material rows' relative image paths
// (same order as materials; an empty path writes no image). For tests and benchmarks;
// the exporter calls the sections itself so that texture files are copied in between.
struct DocumentInput {
    std::string createdText;
    bool exportNodes = false;
    std::span<const MaterialRow> materials;
    std::span<const std::u16string> imagePaths;
    std::span<const GeometryText* const> geometries;
    std::span<const NodeElement* const> nodes;
    DocumentForm form = DocumentForm::renderer;
};
void writeDocument(DocumentOutput& out, const DocumentInput& input, const StatusSink& status);

}  // namespace vantro::collada
