#pragma once
// The save-file dialog a plug-in asks for a file name (the COLLADA export does). The
// headless host has no windows, so the dialog is a request handed to a handler that the
// host program (or a test) installs: it plays the user, answering with a path or
// cancelling. Without a handler every dialog is cancelled.
//
// It is a service of the SDK library, not of the plug-in's own code, so that there is
// one handler per process: the host installs it and every loaded module's dialog
// reaches it.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/window.h"

namespace vantro::sdk {

// What the dialog shows, as the Windows save dialog would be given it.
struct SaveFileRequest {
    std::u16string title;
    std::vector<std::pair<std::u16string, std::u16string>> filters;  // (description, pattern)
    platform::WindowHandle owner = 0;
    std::u16string initialFile;    // proposed full path; empty proposes nothing
    std::size_t bufferSize = 260;  // characters, terminating zero included
    bool overwritePrompt = true;   // the user confirms replacing an existing file
};

// Plays the user: the chosen full path, or nullopt for cancel.
using SaveFileHandler = std::function<std::optional<std::u16string>(const SaveFileRequest&)>;

// Installs the handler (null: cancel every dialog) and returns the one it replaces, so
// that a caller answering one dialog can put the standing answerer back. Main thread.
SaveFileHandler SetSaveFileHandler(SaveFileHandler handler);

// Shows the dialog: the chosen path, or empty when the user cancelled, when the
// answer does not fit the request's buffer (the Windows dialog fails then), or when
// the handler throws. Main thread.
std::u16string GetSaveFileName(const SaveFileRequest& request);

// The dialog's default extension: path with extension appended when its file name
// (the text after the last folder separator of this platform) has no "." after its
// first character. A "." in a folder's name does not count, and on POSIX a "\\" is part
// of the file name, not a separator. Empty stays empty.
std::u16string WithDefaultExtension(std::u16string path, std::u16string_view extension);

}  // namespace vantro::sdk
