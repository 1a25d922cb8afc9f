#pragma once
// Named shared memory with the semantics of a Windows named file mapping.
//
// - create is exclusive: a live mapping of the same name gives alreadyExists.
// - A mapping is zero-filled at creation, private to the user (mode 0600) and lives
//   while some process holds it. A name whose every holder died (crash, SIGKILL)
//   counts as not existing: the next create/open/exists reclaims it, so a dead
//   creator never blocks a later create and no names pile up in /dev/shm.
// - Kernel object names (UTF-16, with slashes, up to 260 units) map injectively and
//   deterministically to POSIX names; see posixName and docs/platform.md.
//
// Thread-safety: the static functions may be called from any thread. One
// SharedMemory object must not be used from two threads at once.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vantro::platform {

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

    // Creates and maps a new mapping of exactly size bytes (size > 0), zero-filled.
    // On anything but ok, out is left closed.
    static ShmResult create(std::u16string_view kernelName, size_t size, SharedMemory& out);

    // Opens and maps an existing live mapping whole.
    static ShmResult open(std::u16string_view kernelName, SharedMemory& out);

    // True when a live mapping of that name exists. Reclaims a dead one.
    static bool exists(std::u16string_view kernelName);

    // The POSIX shm name ("/vantro.<encoded>") a kernel name maps to.
    static std::string posixName(std::u16string_view kernelName);

    // Prefix of every POSIX name this layer makes, for leak checks ("vantro.").
    static constexpr const char* kNamePrefix = "vantro.";

    // Unmaps, releases this process's hold and removes the name when this was the
    // last holder. Safe to call on a closed object.
    void close();

    bool isOpen() const { return data_ != nullptr; }
    void* data() const { return data_; }
    size_t size() const { return size_; }

private:
    void* data_ = nullptr;
    size_t size_ = 0;
    int fd_ = -1;
    std::string name_;
};

}  // namespace vantro::platform
