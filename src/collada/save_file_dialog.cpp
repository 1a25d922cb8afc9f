#include "collada/save_file_dialog.h"

namespace vantro::collada {
namespace {

// Main thread only, like the dialog itself.
SaveFileHandler& handler() {
  static SaveFileHandler instance;
  return instance;
}

}  // namespace

void SetSaveFileHandler(SaveFileHandler newHandler) { handler() = std::move(newHandler); }

std::u16string GetSaveFileName(const SaveFileRequest& request) {
  if (!handler()) return {};
  try {
    const std::optional<std::u16string> answer = handler()(request);
    if (!answer || answer->empty() || answer->size() >= request.bufferSize) return {};
    return *answer;
  } catch (...) {
    return {};
  }
}

}  // namespace vantro::collada
