#include "link_name.h"

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

}  // namespace vantro::plugin
