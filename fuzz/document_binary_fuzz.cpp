// Fuzz target for documents with a binary companion and exact geometry: the input is
// a 4-byte little-endian text length, the JSON text, and the companion's bytes. Any
// input is parsed or refused; what parses has passed the geometry checks and is
// meshed (small nets only, so that one input stays fast). Crashes, sanitizer reports
// and geometry that passed its check but is refused by the checker again abort.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "sdk/io/document_parser.h"
#include "sdk/meshing/brep_mesher.h"
#include "sdk/meshing/subd_mesher.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4)
        return 0;
    const size_t textSize = data[0] | (size_t{data[1]} << 8) | (size_t{data[2]} << 16) | (size_t{data[3]} << 24);
    if (textSize > size - 4)
        return 0;
    const std::string_view text(reinterpret_cast<const char*>(data + 4), textSize);
    const std::string_view binary(reinterpret_cast<const char*>(data + 4 + textSize), size - 4 - textSize);
    vantro::docio::DocumentData doc;
    const auto outcome = vantro::docio::parseDocument(text, doc, binary);
    if (!outcome.ok) {
        if (outcome.error.empty())
            std::abort();
        return 0;
    }
    for (const auto& o : doc.objects) {
        if (o.brep) {
            if (vantro::meshing::checkBrep(*o.brep))
                std::abort();
            if (o.brep->faces.size() <= 4)
                vantro::meshing::meshBrep(*o.brep, doc.meshSettings);
        }
        if (o.subd) {
            if (vantro::meshing::checkSubD(*o.subd))
                std::abort();
            vantro::meshing::MeshSettings settings;
            settings.subdLevel = 1;
            if (o.subd->faceCounts.size() <= 64)
                vantro::meshing::meshSubD(*o.subd, settings);
        }
    }
    return 0;
}
