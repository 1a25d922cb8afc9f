#pragma once
// DocumentWatcher: follows the open document's file while other programs save it.
// When the file has changed and then stayed the same (size, times, inode) for a
// settle interval, it is read whole into a detached document and the difference is
// applied to the open document as edits (document_sync.h); then the idle pump runs,
// as after a command, so that a plug-in sends what changed, and it runs again at
// every pass of the wait loops below (at least every poll interval), as the
// application's idle repeats. One line per applied save:
// `Applied the save of "<path>": <counts>.`
//
// Saves as they happen: a write to a temporary file renamed over the document, an
// in-place rewrite in several writes, a file deleted and written again — all are a
// change of the stamp followed by quiet. A file still being written when looked at
// keeps changing, so it waits. A file that does not read (cut short, not a document)
// leaves the document as it is with one message per unreadable version, and the next
// version that reads is applied. Several saves within the settle interval are one.
//
// Change notification (inotify) wakes the watcher early, and a file closed after
// writing or renamed into place needs no settle interval: its writer has let go (a
// writer that starts again is caught by the stamp, compared once more after reading).
// The stamp is compared every poll interval anyway, which is what follows files on
// network file systems that report nothing. Main thread only; driven by service() from the host's wait
// loops (followUntilQuit, waitFollowing).

#include <chrono>
#include <memory>
#include <string>

#include "file_change_notifier.h"

namespace vantro::host {

class HostSession;

class DocumentWatcher {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kSettle{200};
    static constexpr std::chrono::milliseconds kPollInterval{250};

    explicit DocumentWatcher(HostSession& session);
    ~DocumentWatcher();
    DocumentWatcher(const DocumentWatcher&) = delete;
    DocumentWatcher& operator=(const DocumentWatcher&) = delete;

    // Starts following the active document's file as it is now. False with the
    // reason when there is no document or it has never been saved.
    bool start(std::string& error);
    void stop();
    bool following() const { return !path_.empty(); }
    const std::string& path() const { return path_; }
    // "change notification" or "polling".
    const char* method() const { return notifier_ ? "change notification" : "polling"; }

    // Looks at the file and applies a save that has settled; true when one was
    // applied. Follows the document when it was saved under another name or another
    // one was opened.
    bool service(Clock::time_point now = Clock::now());
    // Milliseconds until service() has something to do (0 to kPollInterval).
    int nextCheckMs(Clock::time_point now = Clock::now()) const;
    const FileChangeNotifier* notifier() const { return notifier_.get(); }

private:
    void follow(const std::string& path);
    bool applySettled(bool early);

    HostSession& session_;
    std::string path_;  // empty: not following
    std::unique_ptr<FileChangeNotifier> notifier_;
    FileStamp seen_;     // the stamp at the last look
    FileStamp applied_;  // the version the document holds
    FileStamp refused_;  // the last version that did not read (reported once)
    bool reportedGone_ = false;
    bool finished_ = false;  // the notifier saw the writer let go since the last change
    Clock::time_point changedAt_{};
    Clock::time_point nextPoll_{};
};

// Runs commands from commandFd (lines; -1: none) while following the file, until a
// command quits, SIGINT or SIGTERM arrives, or the input has ended and nothing is
// followed any more. prompt: print "Command: " before each line (a terminal).
// ahead: input already read from commandFd by someone else, run first.
void followUntilQuit(HostSession& session, int commandFd, bool prompt, bool echo, std::string ahead = {});

// Waits ms milliseconds, applying saves meanwhile (the Wait command while following).
void waitFollowing(HostSession& session, int ms);

}  // namespace vantro::host
