#pragma once
// Builds a CRhinoDoc from a parsed and checked document, in the order the plan gives.

#include <optional>
#include <string>

#include "document_checker.h"
#include "document_data.h"

class CRhinoDoc;

namespace vantro::docio {

// Fills doc, which must be an empty detached document (no layers, materials, objects
// or views). data is consumed: its meshes move into the document's objects. The
// checks of parseDocument and checkDocument cover every rule the document's tables
// enforce, so a refusal here means those checks missed one: the message says which
// table refused; doc is then partly filled and must be discarded. Main thread.
std::optional<std::string> buildDocument(DocumentData& data, const BuildPlan& plan, CRhinoDoc& doc);

}  // namespace vantro::docio
