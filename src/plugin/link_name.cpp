#include "link_name.h"

#include <filesystem>

#include "link/live_connection.h"

namespace vantro::plugin {

std::u16string LinkNameFromPath(std::u16string_view documentPath) {
    const size_t dot = documentPath.rfind(u'.');
    return std::u16string(documentPath.substr(0, dot)) + u".dae";
}

std::u16string LinkFileName(std::u16string_view linkName) {
    // The modelling host's paths use '\'; ours use '/': either ends the folder part.
    const size_t separator = linkName.find_last_of(u"\\/");
    return std::u16string(separator == std::u16string_view::npos ? linkName : linkName.substr(separator + 1));
}

std::vector<std::u16string> LinkNameWarnings(std::u16string_view linkName) {
    std::vector<std::u16string> warnings;
    if (linkName.size() > VantroAPI::kMaxAnnouncedNameUnits) {
        const std::string count = std::to_string(linkName.size());
        warnings.push_back(u"Vantro: the link's name has " + std::u16string(count.begin(), count.end()) +
                           u" characters; Velora finds links of at most 259, so it will not see this one. "
                           u"Save the document under a shorter path (at most 255 characters before \".dae\") "
                           u"and start Vantro again.\n");
    }
    if (std::filesystem::path::preferred_separator == '/' && linkName.find(u'\\') != std::u16string_view::npos)
        warnings.push_back(
            u"Vantro: the file's path contains \"\\\", which the link reads as \"/\": another "
            u"document at that path would share this link and be refused as already open. "
            u"Rename the file without \"\\\" to keep them apart.\n");
    return warnings;
}

}  // namespace vantro::plugin
