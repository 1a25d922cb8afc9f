// ThreadSanitizer builds only. The system oneTBB library is not built with the
// sanitizer, so the hand-over of work between its threads (spawning, stealing, joining,
// reusing task memory and the caller's stack) is invisible to it: a plain parallel loop
// is reported as racing, in TBB's frames and in ours. The formatter test's loop exists
// only to make the float comparison fast, so under the sanitizer it runs on the calling
// thread. (The product's loops go through the scene's ParallelForEach, which tells the
// sanitizer about TBB's hand-overs instead.)

#if defined(__SANITIZE_THREAD__)
#include <tbb/global_control.h>

namespace {
const tbb::global_control kSerialLoops(tbb::global_control::max_allowed_parallelism, 1);
}  // namespace
#endif
