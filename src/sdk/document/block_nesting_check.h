#pragma once
// Whether a definition's new geometry keeps the document's blocks within the rule of
// sdk/document/block_nesting.h. Internal to the SDK.

#include <memory>
#include <vector>

#include "sdk/geometry/on_uuid.h"

class CRhinoInstanceDefinitionTable;
class CRhinoObject;

enum class BlockNestingProblem { none, placesItself, tooDeep, tooLarge };

// Looks at what geometry, made the definition self of table, would place: from
// self, and with alsoPlacers from every definition of the table too (needed when
// self's geometry is replaced while other definitions place it: they then place
// the new geometry). Visits each definition once (memoised), so it runs in time linear in
// the definitions and objects reached, and never deeper than kMaxBlockNesting + 1
// calls.
BlockNestingProblem checkBlockNesting(const CRhinoInstanceDefinitionTable& table, const ON_UUID& self,
                                      const std::vector<std::unique_ptr<CRhinoObject>>& geometry, bool alsoPlacers);
