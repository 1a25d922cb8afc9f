#include "document_watcher.h"

#include <algorithm>
#include <thread>

#include "document_sync.h"
#include "host_session.h"
#include "idle_pump.h"
#include "sdk/app/rhino_app.h"
#include "sdk/document/rhino_doc.h"

namespace vantro::host {

namespace {

std::string documentPath(const HostSession& session) {
    const CRhinoDoc* doc = session.document();
    return doc ? doc->GetPathName().ToUtf8() : std::string();
}

// How long one pass of the wait loops may sleep: the application goes idle again and
// again while nothing happens, so a plug-in that put work off (a change set kept while
// its worker was busy, a renderer that closed the link) gets to it without the user.
int passMs(const DocumentWatcher& watcher) {
    return std::min(watcher.nextCheckMs(), static_cast<int>(kIdleInterval.count()));
}

}  // namespace

DocumentWatcher::DocumentWatcher(HostSession& session) : session_(session) {}

DocumentWatcher::~DocumentWatcher() = default;

bool DocumentWatcher::start(std::string& error) {
    const std::string path = documentPath(session_);
    if (!session_.document()) {
        error = "no document is open";
        return false;
    }
    if (path.empty()) {
        error = "the document has never been saved; there is no file to follow";
        return false;
    }
    follow(path);
    return true;
}

void DocumentWatcher::stop() {
    path_.clear();
    notifier_.reset();
}

void DocumentWatcher::follow(const std::string& path) {
    path_ = path;
    notifier_ = FileChangeNotifier::create(path);
    // The document holds the file as it is now.
    seen_ = applied_ = stampFile(path);
    refused_ = FileStamp{};
    reportedGone_ = false;
    finished_ = false;
    nextPoll_ = Clock::now();
}

int DocumentWatcher::nextCheckMs(Clock::time_point now) const {
    if (!following())
        return static_cast<int>(kPollInterval.count());
    Clock::time_point next = nextPoll_;
    if (!(seen_ == applied_) && seen_.exists && !(seen_ == refused_))
        next = std::min(next, changedAt_ + kSettle);
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count();
    return static_cast<int>(std::clamp<long long>(wait, 0, kPollInterval.count()));
}

bool DocumentWatcher::service(Clock::time_point now) {
    if (!following())
        return false;
    // Saved under another name, or another document opened: follow that one.
    const std::string current = documentPath(session_);
    if (current.empty()) {
        stop();
        session_.message("Stopped following: the document has no file.");
        return false;
    }
    if (current != path_) {
        follow(current);
        session_.message("Following \"" + current + "\" (" + method() + ").");
    }
    if (notifier_) {
        const FileChangeNotifier::Seen seen = notifier_->drain();
        if (seen != FileChangeNotifier::Seen::nothing)
            finished_ = seen == FileChangeNotifier::Seen::finished;
    }
    nextPoll_ = now + kPollInterval;
    const FileStamp stamp = stampFile(path_);
    if (!(stamp == seen_)) {
        seen_ = stamp;
        changedAt_ = now;
        if (!finished_)
            return false;
    }
    if (!stamp.exists) {
        if (!reportedGone_ && !(stamp == applied_))
            session_.message("\"" + path_ + "\" is gone; the document stays as it is until the file is written again.");
        reportedGone_ = true;
        return false;
    }
    reportedGone_ = false;
    if (stamp == applied_ || stamp == refused_ || (!finished_ && now - changedAt_ < kSettle))
        return false;
    // Taken early on the writer's word, a file that does not read yet may be a save
    // made of several writes: it gets the settle interval before it is refused.
    const bool early = finished_ && now - changedAt_ < kSettle;
    finished_ = false;
    return applySettled(early);
}

bool DocumentWatcher::applySettled(bool early) {
    CRhinoDoc read;
    ON_wString error;
    const bool ok = RhinoApp().ReadDocument(ON_wString::FromUtf8(path_), read, error);
    // A writer that started again while the file was being read: wait for it to settle.
    const FileStamp after = stampFile(path_);
    if (!(after == seen_)) {
        seen_ = after;
        changedAt_ = Clock::now();
        return false;
    }
    if (!ok && early)
        return false;
    if (!ok) {
        refused_ = after;
        session_.message("The saved \"" + path_ + "\" cannot be read (" + error.ToUtf8() +
                         "); the document stays as it was until the next save.");
        return false;
    }
    CRhinoDoc* open = session_.document();
    if (!open)
        return false;
    const DocumentChanges changes = applyDocumentChanges(*open, read);
    applied_ = after;
    session_.message("Applied the save of \"" + path_ + "\": " + describeChanges(changes) + ".");
    RhinoApp().OnIdle();
    return true;
}

void followUntilQuit(HostSession& session, int commandFd, bool prompt, bool echo, std::string ahead) {
    DocumentWatcher& watcher = session.watcher();
    std::string pending = std::move(ahead);
    bool inputOpen = commandFd >= 0;
    // A stop signal ends the follow loop cleanly; without a followed file it keeps its
    // default meaning, so that a host busy in a command still ends at once.
    bool stopsHandled = false;
    if (prompt && inputOpen)
        session.output().write(session.output().atLineStart() ? "Command: " : "\nCommand: ");
    while (!session.quitRequested() && !stopRequested() && (inputOpen || watcher.following())) {
        // Lines already at hand run before anything is waited for.
        if (!stopsHandled && watcher.following()) {
            installStopSignals();
            stopsHandled = true;
        }
        const bool lineAtHand = pending.find('\n') != std::string::npos;
        const InputReady ready =
            lineAtHand ? InputReady{} : waitForInput(inputOpen ? commandFd : -1, watcher.notifier(), passMs(watcher));
        watcher.service();
        RhinoApp().OnIdle();
        if (!ready.commands && !lineAtHand)
            continue;
        if (ready.commands)
            inputOpen = readAvailable(commandFd, pending);
        if (!inputOpen && !pending.empty() && pending.back() != '\n')
            pending += '\n';
        for (size_t end = pending.find('\n'); end != std::string::npos && !session.quitRequested();
             end = pending.find('\n')) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (echo)
                session.output().line("> " + line);
            session.runLine(line);
            if (prompt)
                session.output().write(session.output().atLineStart() ? "Command: " : "\nCommand: ");
        }
    }
    if (prompt)
        session.output().line("");
}

void waitFollowing(HostSession& session, int ms) {
    DocumentWatcher& watcher = session.watcher();
    const auto end = DocumentWatcher::Clock::now() + std::chrono::milliseconds(ms);
    for (auto now = DocumentWatcher::Clock::now(); now < end; now = DocumentWatcher::Clock::now()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count();
        if (!watcher.following()) {
            idleFor(std::chrono::duration_cast<std::chrono::milliseconds>(end - now));
            break;
        }
        waitForInput(-1, watcher.notifier(), static_cast<int>(std::min<long long>(left, passMs(watcher))));
        watcher.service();
        RhinoApp().OnIdle();
    }
}

}  // namespace vantro::host
