#pragma once
// Which of two forms of the document the writer produces. The renderer reads the
// layout it was built for, byte for byte, and that layout breaks rules of the strict
// COLLADA 1.4.1 schema (docs/collada.md lists them); importers that validate the schema
// refuse such a file. The schema-valid form keeps the same content and fixes exactly
// those rules: an ISO date in <created> and a <modified>, the type of a texture's
// <surface>, XML names for every name, id and reference, and no empty libraries.

namespace vantro::collada {

enum class DocumentForm {
    renderer,     // the layout the renderer reads (the default)
    schemaValid,  // for importers that validate against the schema
};

}  // namespace vantro::collada
