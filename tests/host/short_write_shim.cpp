// A preload library for the export tests: the first write of at least
// VANTRO_SHORT_WRITE_BYTES bytes (default 65536) to a file whose name ends in ".dae"
// stores only half of its bytes and fails with ENOSPC, as a disk that fills up does;
// every later write goes through again, as if space had been freed. The exporter's
// file sink writes through fwrite.

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

std::atomic<bool> fired{false};

bool isDae(int fd) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[4096];
    const ssize_t length = readlink(link, target, sizeof target - 1);
    return length > 4 && std::memcmp(target + length - 4, ".dae", 4) == 0;
}

// Whether this write of size bytes to fd is the one to cut short.
bool cutShort(int fd, size_t size) {
    const char* setting = std::getenv("VANTRO_SHORT_WRITE_BYTES");
    const size_t threshold = setting != nullptr ? std::strtoul(setting, nullptr, 10) : 65536;
    if (fired.load() || size < threshold || size < 2 || !isDae(fd))
        return false;
    return !fired.exchange(true);
}

template <class Fn>
Fn next(const char* name) {
    return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" size_t fwrite(const void* data, size_t size, size_t count, FILE* stream) {
    static const auto real = next<size_t (*)(const void*, size_t, size_t, FILE*)>("fwrite");
    if (size != 0 && cutShort(fileno(stream), size * count)) {
        const size_t half = count / 2 * size >= 1 ? count / 2 : 0;
        const size_t written = half != 0 ? real(data, size, half, stream) : 0;
        errno = ENOSPC;
        return written;
    }
    return real(data, size, count, stream);
}
