// Runs before the suite: removes our shared-memory names whose every holder died in an
// earlier, crashed run, so that the leak check at the end reports only this run's leaks.

#include <cstdio>

#include "platform/shared_memory.h"

int main() {
    size_t removed = vantro::platform::SharedMemory::reclaimAbandoned();
    std::printf("reclaimed %zu abandoned shared-memory names\n", removed);
    return 0;
}
