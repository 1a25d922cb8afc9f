#pragma once
// Buffers a dead creator leaves behind. A creator killed between creating a buffer
// and the peer's next read leaves names that nobody holds: the peer never mapped
// them, so its own release cannot remove them, and the start-up sweeps run only at
// the next start. Once the creator is known to be gone, the peer clears them.

#include <cstddef>
#include <cstdint>

namespace vantro::peer {

struct CreatorLeftovers {
    size_t removed = 0;  // names nobody held, now gone
    size_t held = 0;     // names some process still holds, left alone
};

// Removes every buffer name of the creator creatorPid ("VantroAPI/<pid>/<id>") that
// no live process holds; a name somebody still maps is left alone. Call only once
// that process is gone; any thread.
CreatorLeftovers reclaimCreatorBuffers(uint32_t creatorPid);

}  // namespace vantro::peer
