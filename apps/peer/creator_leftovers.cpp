#include "creator_leftovers.h"

#include <charconv>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "link/channel_layout.h"
#include "platform/shared_memory.h"

namespace vantro::peer {

using vantro::platform::SharedMemory;

CreatorLeftovers reclaimCreatorBuffers(uint32_t creatorPid) {
    // The file names of one creator's buffers share everything but the eight hex
    // digits of the id at their end.
    const std::string sample = SharedMemory::posixName(VantroAPI::bufferName(creatorPid, 0)).substr(1);
    const std::string prefix = sample.substr(0, sample.size() - 8);
    std::vector<uint32_t> ids;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(SharedMemory::directory(), error)) {
        const std::string file = entry.path().filename().string();
        uint32_t id = 0;
        if (file.size() != sample.size() || file.compare(0, prefix.size(), prefix) != 0)
            continue;
        const char* digits = file.data() + prefix.size();
        if (std::from_chars(digits, digits + 8, id, 16).ptr == digits + 8)
            ids.push_back(id);
    }
    CreatorLeftovers result;
    for (uint32_t id : ids) {
        const std::u16string name = VantroAPI::bufferName(creatorPid, id);
        // A probe removes a name whose holders all died.
        if (SharedMemory::exists(name))
            ++result.held;
        else if (!std::filesystem::exists(SharedMemory::directory() + SharedMemory::posixName(name)))
            ++result.removed;
    }
    return result;
}

}  // namespace vantro::peer
