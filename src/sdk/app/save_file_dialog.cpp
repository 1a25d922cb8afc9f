#include "sdk/app/save_file_dialog.h"

#include <filesystem>
#include <utility>

namespace vantro::sdk {
namespace {

// Main thread only, like the dialog itself.
SaveFileHandler& handler() {
    static SaveFileHandler instance;
    return instance;
}

}  // namespace

SaveFileHandler SetSaveFileHandler(SaveFileHandler newHandler) {
    return std::exchange(handler(), std::move(newHandler));
}

std::u16string GetSaveFileName(const SaveFileRequest& request) {
    if (!handler())
        return {};
    try {
        const std::optional<std::u16string> answer = handler()(request);
        if (!answer || answer->empty() || answer->size() >= request.bufferSize)
            return {};
        return *answer;
    } catch (...) {
        return {};
    }
}

std::u16string WithDefaultExtension(std::u16string path, std::u16string_view extension) {
    if (path.empty())
        return path;
    const std::u16string_view separators =
        std::filesystem::path::preferred_separator == '\\' ? std::u16string_view(u"/\\") : std::u16string_view(u"/");
    const std::size_t slash = path.find_last_of(separators);
    const std::size_t name = slash == std::u16string::npos ? 0 : slash + 1;
    if (path.find(u'.', name + 1) == std::u16string::npos)
        path += extension;
    return path;
}

}  // namespace vantro::sdk
