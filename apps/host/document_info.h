#pragma once
// The text of the Info and List commands: a summary of a document and listings of its
// objects and tables, one entry per line. Deleted objects and table entries are
// counted apart from the others; block definition geometry is not a model object.
//
// Info's lines, in this order (the words before ':' are fixed):
//   Document: <path> | (never saved)
//   Units: <unit>
//   Objects: <n> (<type> <n>, ...)           by type word, sorted by word
//   Hidden objects: <n>                       mode hidden or visibility off
//   Locked objects: <n>
//   Selected objects: <n>
//   Deleted objects: <n>
//   Layers: <n> (hidden: "<name>", ...)       hidden: its own flag or a parent's
//   Current layer: "<name>"
//   Materials: <n>
//   Texture mappings: <n>
//   Instance definitions: <n> (<n> objects)   with the number of their member objects
//   Instance references: <n>
//   Views: <n> (active: "<name>", <projection>)
// A table line ends with "; deleted <n>" when the table holds deleted entries.
// Main thread only.

#include <string>
#include <vector>

class CRhinoDoc;

namespace vantro::host {

std::vector<std::string> documentSummary(const CRhinoDoc& doc);

// "@12 mesh "Box" layer=0 material=layer:-1 hidden box=0,0,0..1,1,1 id=…", model
// objects in document order (deleted ones with "deleted"); box= bounds the meshes the
// object carries.
std::vector<std::string> objectListing(const CRhinoDoc& doc);
// "0 "Default" visible color=0,0,0 material=-1 id=…" and the like, one per entry.
std::vector<std::string> layerListing(const CRhinoDoc& doc);
std::vector<std::string> materialListing(const CRhinoDoc& doc);
std::vector<std::string> mappingListing(const CRhinoDoc& doc);
std::vector<std::string> blockListing(const CRhinoDoc& doc);
std::vector<std::string> viewListing(const CRhinoDoc& doc);

}  // namespace vantro::host
