// Fuzz target for the reader of /proc/<pid>/maps that tells whether a lock owner
// still has the channel mapped. The kernel writes those lines, but a reader must not
// fall over whatever they hold: any bytes go in, and a well-formed line naming the
// file appended after them is still found (a broken last line cannot hide it).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <sys/sysmacros.h>

#include "platform/posix/process_maps.h"

using namespace vantro::platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const uint64_t device = makedev(0, 0x1a), inode = 4242;
    posix::mapsTextNamesFile(text.data(), text.size(), device, inode);
    const std::string withLine = text + "\n7f0000000000-7f0000001000 rw-s 00000000 00:1a 4242  /run/x\n";
    if (!posix::mapsTextNamesFile(withLine.data(), withLine.size(), device, inode))
        std::abort();
    return 0;
}
