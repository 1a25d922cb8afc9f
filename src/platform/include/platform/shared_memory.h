#pragma once
// Named shared memory with the semantics of a Windows named file mapping.
//
// - create is exclusive: a live mapping of the same name gives alreadyExists.
// - A mapping is zero-filled at creation, private to the user (mode 0600) and lives
//   while some process holds it. A name whose every holder died (crash, SIGKILL)
//   counts as not existing: the next create/open/exists reclaims it, so a dead
//   creator never blocks a later create and no names pile up.
// - Like the session namespace of Windows, the names are the user's own: the
//   objects live in the folder "shm" of the user's private runtime directory (see
//   directory()), which no other user can list, squat, lock or open.
// - Kernel object names (UTF-16, with slashes, up to 260 units) map injectively and
//   deterministically to POSIX names; see posixName and docs/platform.md.
//
// How liveness works (docs/platform.md has the byte-exact protocol): every holder
// keeps an open-file-description read lock on the object for as long as it holds
// it, so the kernel drops a dead holder's hold with its last descriptor; create,
// open, exists and close decide under an exclusive flock on that folder (waited for
// at most a few seconds: a process that keeps it longer makes the call fail), and
// the last holder to close removes the name.
//
// Shrinking: another process of the user can truncate the object under a live
// mapping. Touching the lost pages would raise SIGBUS; instead every mapping made
// here is guarded (see posix/shrunk_mapping_guard.h): the whole mapping is replaced
// by private zero pages, keeps working as plain memory that nobody else sees, and
// reports isBroken(). Owners check that and give the mapping up.
//
// Thread-safety: the static functions may be called from any thread. One
// SharedMemory object must not be used from two threads at once. Holds are not
// passed on by fork (descriptors are close-on-exec and a forked copy shares the
// parent's hold rather than adding one).

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vantro::platform {

namespace posix {
struct GuardedRange;
}

enum class ShmResult {
    ok,
    alreadyExists,  // create: a live mapping of that name exists
    notFound,       // open: no live mapping of that name
    failed,         // any other system failure (bad name, out of memory, ...)
};

class SharedMemory {
public:
    SharedMemory() = default;
    ~SharedMemory();  // close()
    SharedMemory(SharedMemory&& other) noexcept;
    SharedMemory& operator=(SharedMemory&& other) noexcept;
    SharedMemory(const SharedMemory&) = delete;
    SharedMemory& operator=(const SharedMemory&) = delete;

    // Creates and maps a new mapping of exactly size bytes (size > 0), zero-filled,
    // read/write. Its pages are reserved at creation, so a full file system gives failed
    // here rather than SIGBUS later. failed for an empty name or size 0; out is
    // closed first and left closed on anything but ok.
    static ShmResult create(std::u16string_view kernelName, size_t size, SharedMemory& out);

    // What open() learns of a mapping's size: size() is at least the size it was
    // created with and less than that plus this granularity. POSIX: 1 (exact). Windows:
    // the page size, 4096 -- where the system reports only the view, whole pages (Wine).
    static size_t openedSizeGranularity();

    // Opens and maps an existing live mapping whole, read/write. notFound when no live
    // mapping has that name (a dead one is reclaimed); failed when it exists but
    // cannot be opened (another user's) or mapped. out is closed first.
    static ShmResult open(std::u16string_view kernelName, SharedMemory& out);

    // True when a live mapping of that name exists and could be opened. Reclaims a
    // dead one. False for an empty name.
    static bool exists(std::u16string_view kernelName);

    // True while the name is present in the system's namespace, whether or not a live
    // process holds it; nothing is reclaimed (leak checks use it). On POSIX: the file
    // in directory(). On Windows the kernel drops a name with its last handle, so this
    // is exists().
    static bool namePresent(std::u16string_view kernelName);

    // Names of the form prefix + eight upper-case hex digits (a dead creator's
    // buffers): those nobody holds are removed and counted in removed, those some
    // process still holds in held. On POSIX a name outlives its holders when they
    // are killed, so this is how they go. On Windows the kernel removes a name with
    // its last handle: nothing is ever left to remove, and held stays 0.
    struct ReclaimCount {
        size_t removed = 0;
        size_t held = 0;
    };
    static ReclaimCount reclaimNumbered(std::u16string_view prefix);

    // POSIX only (Windows uses kernel names as they are). "/" + the file name in directory() ("/vantro.<encoded>", at
    // most 255 bytes after the slash) a kernel name maps to: letters, digits, '-', '_' and '.' stay, every other UTF-16
    // unit becomes %XX (below 0x100) or %uXXXX; an encoding too long for a file name keeps its first 160 characters and
    // adds '~' and the SHA-256 of the whole encoding in hex. Injective and deterministic; case is kept (kernel names
    // are case-sensitive).
    static std::string posixName(std::u16string_view kernelName);

    // Prefix of every POSIX name this layer makes, for leak checks ("vantro.").
    static constexpr const char* kNamePrefix = "vantro.";

    // The folder holding the objects: "shm" in the runtime directory
    // ($VANTRO_RUNTIME_DIR, else $XDG_RUNTIME_DIR/vantro, else /tmp/vantro-<uid> or
    // its private alternative), created 0700. Empty (and every operation fails,
    // with one line on the debug output saying why) when no private folder can be had.
    static std::string directory();

    // Removes every name of ours in directory() whose holders all died (crash
    // leftovers); returns how many were removed. Live mappings and other users'
    // names are left alone. Called once at start-up by the plug-in and the test
    // peer; any thread. With the environment variable VANTRO_KEEP_ABANDONED_SHM set
    // to a non-empty value it removes nothing and returns 0: leftovers then stay for
    // inspection (the test suite sets it, so that its leak check sees every leak).
    static size_t reclaimAbandoned();

    // Unmaps, releases this process's hold and removes the name when this was the
    // last holder. Safe to call on a closed object.
    void close();

    bool isOpen() const { return data_ != nullptr; }

    // True once another process shrank the object under this mapping: data() then
    // holds private zero pages (and whatever was written since) that no other
    // process sees. Stays true until close.
    bool isBroken() const;

    // Has flag set to true when this mapping breaks (at once if it already has).
    // The flag is set from a signal handler and must outlive the mapping (or a later
    // call with null). One flag per mapping; moves keep it.
    void notifyWhenBroken(std::atomic<bool>* flag);
    void* data() const { return data_; }
    size_t size() const { return size_; }

    // Whether process pid has this object mapped now (/proc/<pid>/maps): no when the
    // process is gone or maps it nowhere, unknown when that cannot be read (another
    // user's process) or this object is closed. Tells a process that still works
    // with the object from one that died, or a new one that was given its id.
    enum class MappedBy { yes, no, unknown };
    MappedBy mappedBy(uint32_t pid) const;

private:
    void adopt(void* data, size_t size, int fd, std::string leaf);

    void* data_ = nullptr;
    size_t size_ = 0;
    int fd_ = -1;
    std::string name_;
    uint64_t device_ = 0, inode_ = 0;       // the object's identity, for mappedBy
    posix::GuardedRange* guard_ = nullptr;  // null when closed or unguarded
};

}  // namespace vantro::platform
