// Fuzz target for the document reader: any input is either read completely or refused
// with the document left empty, and a document that was read writes out as text that
// reads back. Crashes, sanitizer reports and broken promises abort.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "sdk/io/document_reader.h"
#include "sdk/io/document_writer.h"
#include "sdk/document/rhino_doc.h"

namespace {

bool isEmpty(const CRhinoDoc& doc) {
    ON_SimpleArray<CRhinoView*> views;
    return doc.m_layer_table.LayerCount() == 0 && doc.m_material_table.MaterialCount() == 0 && doc.Objects().empty() &&
           doc.m_instance_definition_table.InstanceDefinitionCount() == 0 &&
           doc.m_texture_mapping_table.TextureMappingCount() == 0 && doc.m_bitmap_table.BitmapCount() == 0 &&
           doc.GetViewList(views) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CRhinoDoc doc;
    const vantro::docio::DocumentLoadResult result = vantro::docio::readDocumentJson(text, "fuzz.json", doc);
    if (!result.ok) {
        if (result.error.empty() || !isEmpty(doc))
            std::abort();
        return 0;
    }
    const std::string written = vantro::docio::writeDocumentJson(doc);
    CRhinoDoc again;
    if (!vantro::docio::readDocumentJson(written, "written.json", again).ok)
        std::abort();
    if (vantro::docio::writeDocumentJson(again) != written)
        std::abort();
    return 0;
}
