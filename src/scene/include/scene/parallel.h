#pragma once
// The scene's parallel loops are the platform's (see platform/parallel.h); these names
// stay for the code written against them.

#include "platform/parallel.h"

namespace vantro::scene {

template <class Iterator, class Body>
void ParallelForEach(Iterator first, Iterator last, const Body& body) {
    platform::parallelForEach(first, last, body);
}

template <class Fn>
void RunInSceneArena(const Fn& fn) {
    platform::runInParallelArena(fn);
}

}  // namespace vantro::scene
