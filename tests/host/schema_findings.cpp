#include "schema_findings.h"

#include <algorithm>
#include <regex>
#include <utility>

#include "support/child_process.h"

namespace vantro::test {

namespace {

// The findings the required text causes, by the rule that causes them (docs/collada.md,
// "Strict schema findings caused by the required text").
const std::vector<std::pair<std::string, std::regex>>& documentedFindings() {
    static const std::vector<std::pair<std::string, std::regex>> rules = {
        {"created is asctime text",
         std::regex("created': '[\\s\\S]*' is not a valid value of the atomic type 'xs:dateTime'")},
        {"asset has no modified",
         std::regex("unit': This element is not expected. Expected is one of \\( \\{[^}]*\\}keywords, "
                    "\\{[^}]*\\}modified \\)")},
        {"surface has no type", std::regex("surface': The attribute 'type' is required but missing")},
        {"node block names have blanks",
         std::regex("attribute 'name': 'Velora Node (Material|Geometry)' is not a valid value of the atomic type "
                    "'xs:NCName'")},
        {"empty library", std::regex("library_(images|effects|materials|geometries)': Missing child element\\(s\\)")},
        {"unique-name suffix",
         std::regex("attribute '[a-z]+': '[^']*\\([0-9]+\\)[^']*' is not a valid value of the atomic type "
                    "'xs:(ID|NCName)'")},
    };
    return rules;
}

std::string quotedForShell(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

std::string colladaSchemaPath() { return std::string(VANTRO_TESTDATA_DIR) + "/collada/collada_schema_1_4_1.xsd"; }

SchemaVerdict checkSchema(const std::string& file) {
    const RunResult result =
        runProgram("/bin/sh", {"-c", "xmllint --noout --schema " + quotedForShell(colladaSchemaPath()) + " " +
                                         quotedForShell(file) + " 2>&1"});
    SchemaVerdict verdict;
    verdict.output = result.output;
    verdict.validates = result.exitCode == 0 && result.output.find(" validates") != std::string::npos;
    const std::string marker = "Schemas validity error : ";
    for (std::size_t at = result.output.find(marker); at != std::string::npos;) {
        const std::size_t start = at + marker.size();
        const std::size_t next = result.output.find(marker, start);
        // A finding ends where the line of the next one begins (values may span lines).
        const std::size_t end = next == std::string::npos ? result.output.size() : result.output.rfind('\n', next);
        verdict.findings.push_back(result.output.substr(start, end - start));
        at = next;
    }
    return verdict;
}

ClassifiedFindings classifyFindings(const std::vector<std::string>& findings) {
    ClassifiedFindings sorted;
    for (const std::string& finding : findings) {
        const auto& rules = documentedFindings();
        const auto rule = std::find_if(rules.begin(), rules.end(),
                                       [&](const auto& r) { return std::regex_search(finding, r.second); });
        if (rule == rules.end()) {
            sorted.unexplained.push_back(finding);
        } else if (std::find(sorted.rules.begin(), sorted.rules.end(), rule->first) == sorted.rules.end()) {
            sorted.rules.push_back(rule->first);
        }
    }
    return sorted;
}

}  // namespace vantro::test
