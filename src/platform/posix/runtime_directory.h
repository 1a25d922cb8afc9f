#pragma once
// Where the window stand-in and the named shared memory keep their files, and the
// checks that make a folder private to the user. Internal to src/platform/posix.

#include <string>

namespace vantro::platform::posix {

// Makes path a directory only this user can reach: missing folders on the way are
// created 0700 whatever the umask; the last one must be a real directory (not a
// symbolic link) owned by the effective user, and loses any group or other
// permission bits. False with why set to a sentence naming the reason otherwise.
bool makePrivateDirectory(const std::string& path, std::string& why);

// The first usable of: $VANTRO_RUNTIME_DIR, $XDG_RUNTIME_DIR/vantro, /tmp/vantro-<uid>
// and, when that one is someone else's, the private alternatives
// /tmp/vantro-<uid>-1 .. -9. A refused candidate is reported once per process on
// the debug output with its reason. Empty when none can be used.
std::string runtimeDirectory();

// Writes a warning line to the debug output once per process for each distinct text.
void reportOnce(const std::string& text);

}  // namespace vantro::platform::posix
