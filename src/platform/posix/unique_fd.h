#pragma once
// Small POSIX helpers shared by the platform implementation: an owning file
// descriptor and an EINTR retry wrapper. Internal to src/platform/posix.

#include <cerrno>
#include <unistd.h>
#include <utility>

namespace vantro::platform::posix {

// Owns one file descriptor; closing it releases any OFD lock or flock held through it.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other)
            reset(std::exchange(other.fd_, -1));
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release() { return std::exchange(fd_, -1); }
    void reset(int fd = -1) {
        if (fd_ >= 0)
            ::close(fd_);  // not retried on EINTR: on Linux the descriptor is gone either way
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

// Repeats a system call while it fails with EINTR.
template <typename Call>
auto retryOnInterrupt(Call call) {
    for (;;) {
        auto result = call();
        if (!(result == -1 && errno == EINTR))
            return result;
    }
}

}  // namespace vantro::platform::posix
