#pragma once
// How far blocks may nest and how much one block may place: the one rule every walk
// through nested instances follows (the document when it takes a definition, the
// meshability question, the scene, the change tracking and the export), so that they
// all stop at the same place.

#include <cstdint>

// Instances in one chain, the one placed in the model included.
constexpr int kMaxBlockNesting = 64;

// True when an instance with `enclosing` instances around it (0 for an instance
// placed in the model) is followed into its definition.
constexpr bool IsFollowedBlockLevel(int enclosing) { return enclosing >= 0 && enclosing < kMaxBlockNesting; }

// What one instance of a definition may expand to: placed triangles, counting an
// object without a mesh yet as one. A document of a few kilobytes whose blocks
// each place the next twice reaches billions; the document refuses such a
// definition before anything is meshed or allocated.
constexpr uint64_t kMaxBlockExpansion = uint64_t(1) << 27;
