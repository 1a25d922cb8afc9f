#include "collada/document_output.h"

#include <cassert>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace vantro::collada {

FileByteSink::~FileByteSink() {
    if (file_ != nullptr)
        std::fclose(file_);
}

bool FileByteSink::open(const std::filesystem::path& path) {
    assert(file_ == nullptr);
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr)
        return false;
    // The document output buffers already; a second buffer only copies.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    path_ = path;
    return true;
}

void FileByteSink::fail(const std::string& what) {
    if (failure_.empty())
        failure_ = what;
    throw FileWriteError(failure_);
}

void FileByteSink::write(std::string_view bytes) {
    if (!failure_.empty())
        throw FileWriteError(failure_);
    if (file_ == nullptr)
        throw FileWriteError("write to a closed file");
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
        const int error = errno;
        fail("cannot write " + path_.string() +
             (error != 0 ? std::string(": ") + std::strerror(error) : std::string()));
    }
}

void FileByteSink::close() {
    if (file_ == nullptr)
        return;
    std::FILE* file = file_;
    file_ = nullptr;
    errno = 0;
    const bool closed = std::fclose(file) == 0;
    const int error = errno;
    if (!failure_.empty())
        throw FileWriteError(failure_);
    if (!closed)
        fail("cannot close " + path_.string() +
             (error != 0 ? std::string(": ") + std::strerror(error) : std::string()));
}

DocumentOutput::DocumentOutput(ByteSink& sink, std::size_t bufferSize) : sink_(sink), buffer_(bufferSize) {
    assert(bufferSize > 0);
}

DocumentOutput& DocumentOutput::operator<<(std::string_view text) {
    while (!text.empty()) {
        const void* found = std::memchr(text.data(), '\n', text.size());
        if (found == nullptr) {
            putRaw(text);
            break;
        }
        const auto line = static_cast<std::size_t>(static_cast<const char*>(found) - text.data());
        putRaw(text.substr(0, line));
        putRaw("\r\n");
        text.remove_prefix(line + 1);
    }
    return *this;
}

void DocumentOutput::writeLineFree(std::string_view text) {
    assert(text.find('\n') == std::string_view::npos);
    putRaw(text);
}

void DocumentOutput::flush() {
    if (used_ == 0)
        return;
    const std::size_t used = used_;
    used_ = 0;
    sink_.write(std::string_view(buffer_.data(), used));
}

void DocumentOutput::putRaw(std::string_view bytes) {
    if (bytes.size() > buffer_.size() - used_) {
        flush();
        if (bytes.size() >= buffer_.size()) {
            sink_.write(bytes);
            return;
        }
    }
    std::memcpy(buffer_.data() + used_, bytes.data(), bytes.size());
    used_ += bytes.size();
}

}  // namespace vantro::collada
