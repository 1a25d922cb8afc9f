#pragma once
// The name of a document's live link: the document path with everything from its
// last '.' removed (the whole path when it has none) followed by ".dae". The cut is
// at the last dot of the whole path, so a dotted folder with an extension-less file
// ("/p/a.b/house") gives "/p/a.dae", as the modelling host's plug-in does. The same
// name is used for the connection and for the save-name check, so two hosts can
// never link the same file at once.
// Pure; any thread.

#include <string>
#include <string_view>
#include <vector>

namespace vantro::plugin {

std::u16string LinkNameFromPath(std::u16string_view documentPath);

// The part of a link name after its last '\' or '/' (the whole name when it has
// neither): what the file-in-use message shows.
std::u16string LinkFileName(std::u16string_view linkName);

// What a user should know before relying on a link of that name, one command-area
// line each (ending in a newline); empty when nothing. Two cases:
//  - a name longer than a renderer's listing takes (VantroAPI::kMaxAnnouncedNameUnits):
//    the link starts, but no renderer will find it;
//  - on a system whose folder separator is '/', a '\' in the name: the channel's
//    memory is named with '\' read as '/' (the renderer names it the same way), so
//    "a\b.3dm" and "a/b.3dm" share one link and refuse each other as already open.
std::vector<std::u16string> LinkNameWarnings(std::u16string_view linkName);

}  // namespace vantro::plugin
