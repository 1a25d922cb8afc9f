#pragma once
// The host meshes what it must render: objects of a document read from a file that
// carry exact geometry (breps, extrusions, SubDs) and no render meshes get meshes from
// the host's meshers (src/sdk/meshing), with the document's mesh settings. Render
// meshes the file carries are kept as they are.

#include <string>
#include <vector>

#include "document_data.h"

namespace vantro::docio {

// Meshes every object of d that needs it, objects in parallel. An object (or face)
// that cannot be meshed gets a warning naming it and why; the others go on. With
// summarize (files of the modelling application), adds one warning counting the
// objects of kinds that are never rendered (curves, points, annotations, ...). Any
// thread; d is not shared while this runs.
void meshDocumentObjects(DocumentData& d, std::vector<std::string>& warnings, bool summarize = true);

}  // namespace vantro::docio
