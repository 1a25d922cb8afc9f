#pragma once
// What the host needs from the operating system to follow a file that other programs
// save: a stamp of the file (taken without opening it), a change notification on the
// file's folder where the system offers one, and a wait on that notification and the
// command input together. The POSIX part is posix/file_change_notifier.cpp (inotify
// where available). Main thread only.

#include <cstdint>
#include <memory>
#include <string>

namespace vantro::host {

// What a save changes about a file without anybody reading it. A rename over the
// file gives another inode; an in-place rewrite another size or time.
struct FileStamp {
    bool exists = false;
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t size = 0;
    int64_t modifiedNs = 0;
    int64_t changedNs = 0;  // status change time: a rewrite within the clock's grain still moves it

    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// The stamp of path now; exists is false when it cannot be examined (missing, no
// permission) or is not a regular file.
FileStamp stampFile(const std::string& path);

// Change notification for one file: it watches the file's folder, so that a file
// deleted and written again, or replaced by a rename, is still seen.
class FileChangeNotifier {
public:
    // Null when the system offers no notification for that folder (none built in,
    // the folder missing, the watch limit reached) or VANTRO_WATCH_POLLING=1 asks for
    // polling alone; the caller then polls.
    static std::unique_ptr<FileChangeNotifier> create(const std::string& path);
    virtual ~FileChangeNotifier() = default;

    // What drain() saw of the file, in the order it happened.
    enum class Seen {
        nothing,
        written,   // written to, created, deleted, renamed away: a save may be under way
        finished,  // closed after writing, or renamed into place: the writer let go
    };

    // A descriptor that becomes readable when something happened in the folder.
    virtual int descriptor() const = 0;
    // Reads what is pending without blocking; the last thing that happened to the file
    // (nothing when it was not concerned).
    virtual Seen drain() = 0;
};

// What waitForInput found.
struct InputReady {
    bool commands = false;     // the command descriptor is readable (or at its end)
    bool files = false;        // the notifier's descriptor is readable
    bool interrupted = false;  // a signal arrived during the wait
};

// Waits up to timeoutMs (>= 0) for commandFd (-1: none) or the notifier (null: none).
InputReady waitForInput(int commandFd, const FileChangeNotifier* notifier, int timeoutMs);

// Reads what is available on fd without blocking beyond one read; appends it to out.
// False at the end of the input or on an error.
bool readAvailable(int fd, std::string& out);

// Makes SIGINT and SIGTERM end a following session cleanly: after one arrived,
// stopRequested() is true and waitForInput returns. Safe to call more than once.
void installStopSignals();
bool stopRequested();

}  // namespace vantro::host
