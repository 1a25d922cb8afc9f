#pragma once
// The object attribute options shared by the commands that add objects and the one
// that changes attributes:
//   name=<text>  layer=<layer>  material=<material|none>
//   source=layer|object|parent  visible=on|off  mode=normal|hidden|locked
// material= with a material also makes the object use its own material unless
// source= says otherwise.
// Main thread only (layers and materials are looked up in the document).

#include <array>
#include <string>
#include <string_view>

#include "command_args.h"
#include "sdk/document/on_object_attributes.h"

class CRhinoDoc;

namespace vantro::host {

// The option keys the function reads.
inline constexpr std::array<std::string_view, 6> kAttributeOptionKeys = {"name",   "layer",   "material",
                                                                         "source", "visible", "mode"};

// Applies the options present in args to attributes. False with a message (and
// attributes partly changed: callers work on a copy) when one does not parse or names
// nothing in doc.
bool applyAttributeOptions(const CRhinoDoc& doc, const CommandArgs& args, ON_3dmObjectAttributes& attributes,
                           std::string& error);

}  // namespace vantro::host
