#pragma once
// The strict COLLADA 1.4.1 schema's verdict on a file (xmllint --schema), and the
// sorting of its findings into those that the document's required text causes (each
// listed, with its cause, in docs/collada.md) and any other, which is a fault.
// Free of GoogleTest so that any test area can use it.

#include <string>
#include <vector>

namespace vantro::test {

// The schema the tests validate against (from the shared test data).
std::string colladaSchemaPath();

struct SchemaVerdict {
    bool validates = false;             // xmllint said the file validates
    std::vector<std::string> findings;  // one entry per "Schemas validity error", text after the marker
    std::string output;                 // everything xmllint printed
};
SchemaVerdict checkSchema(const std::string& file);

struct ClassifiedFindings {
    std::vector<std::string> rules;        // names of the documented causes met, first match order, once each
    std::vector<std::string> unexplained;  // findings no documented cause explains
};
ClassifiedFindings classifyFindings(const std::vector<std::string>& findings);

}  // namespace vantro::test
