#pragma once
// Starting programs and opening addresses: the stand-ins of CreateProcessW and
// ShellExecuteW's "open" verb.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantro::platform {

// Starts a program and does not wait for it, like CreateProcessW with no application
// name: the module is the first token of commandLine; when it is unquoted and holds
// spaces, successively longer space-separated prefixes are tried, and the first that
// names an executable file wins ("C:/Program Files/x/app.exe -a" works unquoted, as
// on Windows). A module ending in ".exe" that does not exist is tried without that
// extension; a module without '/' is searched in PATH. The rest of the line is split
// by the Windows rules (splitCommandLine). The program inherits the environment, gets
// currentDirectory as its working directory (empty: the caller's), an empty signal
// mask and a session of its own; it is reaped in the background when it ends, so it
// never lingers as a zombie. processId (may be null) gets its id. False when the
// module cannot be found or started or the directory does not exist. Any thread.
bool createProcess(std::u16string_view commandLine, std::u16string_view currentDirectory,
                   uint32_t* processId = nullptr);

// Splits a command line into arguments the way the Windows C runtime does: blanks
// separate arguments; "..." quotes blanks; 2n backslashes before a quote give n
// backslashes and the quote delimits, 2n+1 give n backslashes and a literal quote;
// other backslashes are literal; "" inside quotes is a literal quote.
std::vector<std::u16string> splitCommandLine(std::u16string_view commandLine);

// Opens target (a web address or a file) with the desktop's opener, without waiting.
// When $VANTRO_OPEN_LOG is set, the target is only appended to that file as one
// UTF-8 line (tests and headless hosts read it). Otherwise `xdg-open target` is
// started; where there is no xdg-open, the target is appended to the file
// "opened-urls" in the runtime directory (window.h) instead. False when nothing
// could be started or written. Any thread.
bool shellOpen(std::u16string_view target);

}  // namespace vantro::platform
