#include "scene/mesh_info.h"

#include <atomic>

namespace {
std::atomic<int32_t> meshCounter{0};
std::atomic<uint64_t> nodeCounter{0};
}  // namespace

int64_t vantro::scene::NextMeshId() {
    // Wraps like the 32-bit counter it is (unsigned arithmetic: no overflow UB).
    const uint32_t next = static_cast<uint32_t>(meshCounter.fetch_add(1)) + 1u;
    return static_cast<int64_t>(static_cast<int32_t>(next));
}

uint64_t vantro::scene::NextNodeId() { return nodeCounter.fetch_add(1) + 1; }
