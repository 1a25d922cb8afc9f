// Fuzz target for bringing an open document up to a newer copy of its file
// (apps/host/document_sync.cpp): the input is two documents, the open one and the
// saved one, separated by a line "#--" (without it, the same document twice). Any
// pair must apply without a crash, and once a copy was applied without refusals,
// applying it again changes nothing — the rule that keeps an unchanged save from
// sending anything.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "document_sync.h"
#include "sdk/document/rhino_doc.h"
#include "sdk/io/document_reader.h"

namespace {

constexpr std::string_view kSeparator = "\n#--\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t cut = input.find(kSeparator);
    const std::string_view first = input.substr(0, cut);
    const std::string_view second = cut == std::string_view::npos ? first : input.substr(cut + kSeparator.size());
    CRhinoDoc open, saved;
    if (!vantro::docio::readDocumentJson(first, "open.json", open).ok ||
        !vantro::docio::readDocumentJson(second, "saved.json", saved).ok)
        return 0;
    const vantro::host::DocumentChanges changes = vantro::host::applyDocumentChanges(open, saved);
    if (changes.refused == 0 && vantro::host::applyDocumentChanges(open, saved).total() != 0)
        std::abort();
    return 0;
}
