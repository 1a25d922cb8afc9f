#include "platform/file_read.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace vantro::platform {

std::optional<std::vector<std::byte>> readRegularFile(std::string_view path, uint64_t maxBytes) {
    // O_NONBLOCK: opening a pipe alone would otherwise wait for a writer.
    const int fd = ::open(std::string(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && static_cast<uint64_t>(info.st_size) <= maxBytes;
    std::vector<std::byte> bytes(ok ? static_cast<size_t>(info.st_size) : 0);
    for (size_t done = 0; ok && done < bytes.size();) {
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        ok = n > 0 || (n < 0 && errno == EINTR);  // 0: the file shrank meanwhile
        done += n > 0 ? static_cast<size_t>(n) : 0;
    }
    ::close(fd);
    return ok ? std::optional(std::move(bytes)) : std::nullopt;
}

}  // namespace vantro::platform
