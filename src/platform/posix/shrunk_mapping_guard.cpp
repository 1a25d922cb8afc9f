#include "posix/shrunk_mapping_guard.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <mutex>
#include <new>
#include <sched.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace vantro::platform::posix {

// Everything the handler reads is a lock-free atomic in memory that is never freed:
// ranges are recycled, chunks are only ever appended.
static_assert(std::atomic<uintptr_t>::is_always_lock_free && std::atomic<int>::is_always_lock_free &&
              std::atomic<std::atomic<bool>*>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

enum RangeState : int { kFree, kClaimed, kActive, kReleasing };
enum RepairState : int { kIntact, kRepairing, kRepaired, kRepairFailed };

struct GuardedRange {
    std::atomic<int> state{kFree};
    std::atomic<int> handlersInside{0};  // handlers looking at this range right now
    std::atomic<uintptr_t> begin{0};
    std::atomic<uintptr_t> length{0};  // whole pages
    std::atomic<int> repair{kIntact};
    std::atomic<std::atomic<bool>*> notify{nullptr};
};

namespace {

constexpr size_t kRangesPerChunk = 256;

struct Chunk {
    GuardedRange ranges[kRangesPerChunk];
    std::atomic<Chunk*> next{nullptr};
};

Chunk firstChunk;  // constant-initialised: usable from the first fault on
struct sigaction previousAction;
std::once_flag installOnce;

// What a handler that is not ours would have done with the signal.
void passOn(int signal, siginfo_t* info, void* context) {
    if (previousAction.sa_flags & SA_SIGINFO) {
        if (previousAction.sa_sigaction) {
            previousAction.sa_sigaction(signal, info, context);
            return;
        }
    } else if (previousAction.sa_handler != SIG_DFL && previousAction.sa_handler != SIG_IGN) {
        previousAction.sa_handler(signal);
        return;
    }
    // Default action (a fault cannot be ignored): end the process with SIGBUS. The
    // raised signal is delivered once this handler returns, as is a re-executed fault.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(SIGBUS, &fallback, nullptr);
    ::raise(SIGBUS);
}

// Replaces the range's pages once; other threads faulting meanwhile just retry.
bool repairRange(GuardedRange& range) {
    int expected = kIntact;
    if (!range.repair.compare_exchange_strong(expected, kRepairing))
        return expected != kRepairFailed;
    // The raw system call: no interceptor (sanitizers wrap mmap) runs in the handler.
    const long result = ::syscall(SYS_mmap, range.begin.load(), range.length.load(), PROT_READ | PROT_WRITE,
                                  MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
    if (result == -1) {
        range.repair.store(kRepairFailed);
        return false;
    }
    range.repair.store(kRepaired);
    if (std::atomic<bool>* flag = range.notify.load())
        flag->store(true);
    return true;
}

// Whether the fault at address lies in a guarded range, which is then repaired.
bool repairFault(uintptr_t address) {
    for (Chunk* chunk = &firstChunk; chunk; chunk = chunk->next.load()) {
        for (GuardedRange& range : chunk->ranges) {
            if (range.state.load() != kActive)
                continue;
            range.handlersInside.fetch_add(1);
            bool handled = false;
            bool inside = false;
            if (range.state.load() == kActive) {
                const uintptr_t begin = range.begin.load();
                inside = address >= begin && address - begin < range.length.load();
                if (inside)
                    handled = repairRange(range);
            }
            range.handlersInside.fetch_sub(1);
            if (inside)
                return handled;
        }
    }
    return false;
}

void onSigbus(int signal, siginfo_t* info, void* context) {
    const int savedErrno = errno;
    // si_code <= 0: sent by a process (kill, raise), not a fault of ours.
    const bool handled = info && info->si_code > 0 && repairFault(reinterpret_cast<uintptr_t>(info->si_addr));
    errno = savedErrno;
    if (!handled)
        passOn(signal, info, context);
}

void installHandler() {
    ::sigaction(SIGBUS, nullptr, &previousAction);
    struct sigaction action {};
    action.sa_sigaction = onSigbus;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, nullptr);
}

GuardedRange* claimRange() {
    for (Chunk* chunk = &firstChunk;; chunk = chunk->next.load()) {
        for (GuardedRange& range : chunk->ranges) {
            int expected = kFree;
            if (range.state.compare_exchange_strong(expected, kClaimed))
                return &range;
        }
        if (!chunk->next.load()) {
            Chunk* grown = new (std::nothrow) Chunk;
            if (!grown)
                return nullptr;
            Chunk* none = nullptr;
            if (!chunk->next.compare_exchange_strong(none, grown))
                delete grown;  // another thread appended first; use theirs
        }
    }
}

}  // namespace

GuardedRange* guardMapping(void* begin, size_t length) {
    std::call_once(installOnce, installHandler);
    GuardedRange* range = claimRange();
    if (!range)
        return nullptr;
    const auto page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
    range->begin.store(reinterpret_cast<uintptr_t>(begin));
    range->length.store((length + page - 1) / page * page);
    range->repair.store(kIntact);
    range->notify.store(nullptr);
    range->state.store(kActive);
    return range;
}

void releaseMapping(GuardedRange* range) {
    if (!range)
        return;
    range->state.store(kReleasing);
    while (range->handlersInside.load() != 0)
        ::sched_yield();
    range->notify.store(nullptr);
    range->state.store(kFree);
}

bool isBroken(const GuardedRange* range) { return range && range->repair.load() != kIntact; }

void notifyWhenBroken(GuardedRange* range, std::atomic<bool>* flag) {
    if (!range)
        return;
    range->notify.store(flag);
    if (flag && isBroken(range))
        flag->store(true);
}

}  // namespace vantro::platform::posix
