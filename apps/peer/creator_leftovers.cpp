#include "creator_leftovers.h"

#include <string>

#include "link/channel_layout.h"
#include "platform/shared_memory.h"

namespace vantro::peer {

CreatorLeftovers reclaimCreatorBuffers(uint32_t creatorPid) {
    // One creator's buffer names differ only in the eight hex digits of the id.
    std::u16string prefix = VantroAPI::bufferName(creatorPid, 0);
    prefix.resize(prefix.size() - 8);
    const auto count = platform::SharedMemory::reclaimNumbered(prefix);
    return CreatorLeftovers{count.removed, count.held};
}

}  // namespace vantro::peer
