// inotify on Linux: the kernel's own notification, no library in between. Elsewhere
// (and on file systems that report nothing, such as network mounts whose changes
// come from other machines) the watcher's polling of the stamp carries on alone.

#include "file_change_notifier.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <filesystem>

#if defined(__linux__)
#include <sys/inotify.h>
#endif

namespace vantro::host {

namespace {

std::atomic<bool> stopFlag{false};

void onStopSignal(int) { stopFlag.store(true); }

int64_t nanoseconds(const timespec& t) { return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec; }

#if defined(__linux__)
class InotifyNotifier final : public FileChangeNotifier {
public:
    InotifyNotifier(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}
    ~InotifyNotifier() override { ::close(fd_); }
    InotifyNotifier(const InotifyNotifier&) = delete;
    InotifyNotifier& operator=(const InotifyNotifier&) = delete;
    int descriptor() const override { return fd_; }

    Seen drain() override {
        Seen seen = Seen::nothing;
        // Events are at most NAME_MAX + 1 beyond their header; the buffer holds many.
        alignas(inotify_event) char buffer[16 * (sizeof(inotify_event) + NAME_MAX + 1)];
        for (;;) {
            const ssize_t got = ::read(fd_, buffer, sizeof buffer);
            if (got <= 0)
                return seen;
            // The kernel's records are bounded by what it wrote; a record that would
            // reach past it ends the walk.
            for (size_t at = 0; at + sizeof(inotify_event) <= static_cast<size_t>(got);) {
                inotify_event event;
                std::memcpy(&event, buffer + at, sizeof event);
                const size_t next = at + sizeof(inotify_event) + event.len;
                if (next > static_cast<size_t>(got))
                    break;
                const char* name = buffer + at + sizeof(inotify_event);
                // The queue overflowing or the folder going loses track: a change,
                // whose end the stamp has to show.
                const bool lost = (event.mask & (IN_Q_OVERFLOW | IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) != 0;
                if (lost || (event.len > 0 && name_ == std::string(name, strnlen(name, event.len))))
                    seen = !lost && (event.mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) != 0 ? Seen::finished : Seen::written;
                at = next;
            }
        }
    }

private:
    int fd_;  // owned
    std::string name_;
};
#endif

}  // namespace

FileStamp stampFile(const std::string& path) {
    struct stat st {};
    FileStamp stamp;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return stamp;
    stamp.exists = true;
    stamp.device = static_cast<uint64_t>(st.st_dev);
    stamp.inode = static_cast<uint64_t>(st.st_ino);
    stamp.size = static_cast<uint64_t>(st.st_size);
    stamp.modifiedNs = nanoseconds(st.st_mtim);
    stamp.changedNs = nanoseconds(st.st_ctim);
    return stamp;
}

std::unique_ptr<FileChangeNotifier> FileChangeNotifier::create(const std::string& path) {
    // For folders whose notifications cannot be trusted (a network mount that reports
    // only this machine's writes), and to test the polling on its own.
    if (const char* polling = std::getenv("VANTRO_WATCH_POLLING"); polling && std::string_view(polling) == "1")
        return nullptr;
#if defined(__linux__)
    const std::filesystem::path file(path);
    const std::string folder = file.has_parent_path() ? file.parent_path().string() : std::string(".");
    const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0)
        return nullptr;
    auto notifier = std::make_unique<InotifyNotifier>(fd, file.filename().string());
    const uint32_t mask = IN_CLOSE_WRITE | IN_MODIFY | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE | IN_ATTRIB |
                          IN_DELETE_SELF | IN_MOVE_SELF;
    if (::inotify_add_watch(fd, folder.c_str(), mask) < 0)
        return nullptr;
    return notifier;
#else
    (void)path;
    return nullptr;
#endif
}

InputReady waitForInput(int commandFd, const FileChangeNotifier* notifier, int timeoutMs) {
    pollfd fds[2] = {{commandFd, POLLIN, 0}, {notifier ? notifier->descriptor() : -1, POLLIN, 0}};
    InputReady ready;
    const int n = ::poll(fds, 2, timeoutMs);
    if (n < 0) {
        ready.interrupted = errno == EINTR;
        return ready;
    }
    ready.commands = commandFd >= 0 && (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
    ready.files = notifier && (fds[1].revents & POLLIN) != 0;
    return ready;
}

bool readAvailable(int fd, std::string& out) {
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) {
            out.append(buffer, static_cast<size_t>(got));
            return true;
        }
        if (got < 0 && errno == EINTR)
            continue;
        return false;
    }
}

void installStopSignals() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: the wait in waitForInput returns at once.
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

bool stopRequested() { return stopFlag.load(); }

}  // namespace vantro::host
