// ThreadSanitizer builds only. The system oneTBB library is not built with the
// sanitizer, so the hand-over of work between its threads (spawning, stealing, joining,
// reusing task memory and the caller's stack) is invisible to it: every sizeable
// parallel loop is reported as racing, in TBB's frames and in ours, and suppressing
// those stacks would hide real races in loop bodies as well. These test programs
// therefore run TBB loops on the calling thread under the sanitizer; the loop bodies
// are written to touch only their own item, atomics and concurrent containers, and the
// other builds run them on all cores.

#if defined(__SANITIZE_THREAD__)
#include <tbb/global_control.h>

namespace {
const tbb::global_control kSerialLoops(tbb::global_control::max_allowed_parallelism, 1);
}  // namespace
#endif
