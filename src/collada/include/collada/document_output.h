#pragma once
// The byte stream the document is written to. Every line feed of the text becomes
// CR LF, on every platform, as a Windows text-mode stream would store it.

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vantro::collada {

// A file that did not take the bytes handed to it (a full disk, an I/O error). The
// document is broken from then on: whoever catches this must not carry on as if it
// were whole.
class FileWriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Destination of finished bytes. write may throw to abandon the document (a full
// disk); the caller then deletes what was written.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void write(std::string_view bytes) = 0;
};

// Collects the bytes in memory (tests, benchmarks).
class StringByteSink final : public ByteSink {
public:
    void write(std::string_view bytes) override { text.append(bytes); }
    std::string text;
};

// Writes to a file created (or truncated) at open. A failed or short write, or a failed
// close, throws FileWriteError naming the file and the system's reason. The failure is
// sticky: once a write failed, every later write and the close throw again, even if
// the device would take bytes again, so that a document with a hole in it can never be
// completed and reported as written, whoever catches the first exception. Main thread
// only.
class FileByteSink final : public ByteSink {
public:
    FileByteSink() = default;
    ~FileByteSink() override;
    FileByteSink(const FileByteSink&) = delete;
    FileByteSink& operator=(const FileByteSink&) = delete;

    // Opens path for writing; false when it cannot be opened (nothing is created then).
    bool open(const std::filesystem::path& path);
    bool isOpen() const { return file_ != nullptr; }
    void write(std::string_view bytes) override;
    // Closes the file; throws when the data could not be stored or an earlier write
    // failed. Closing twice is harmless (the second close does nothing).
    void close();
    // Whether a write or the close failed.
    bool failed() const { return !failure_.empty(); }

private:
    [[noreturn]] void fail(const std::string& what);

    std::FILE* file_ = nullptr;
    std::filesystem::path path_;
    std::string failure_;  // the first failure's message; empty while all is well
};

// Buffered text output over a sink with line-feed translation. Nothing reaches the
// sink after a sink exception until the next flush. Not thread-safe.
class DocumentOutput {
public:
    // bufferSize > 0 bytes are collected before the sink is called; texts longer than the
    // buffer go to the sink directly.
    explicit DocumentOutput(ByteSink& sink, std::size_t bufferSize = std::size_t{1} << 16);

    DocumentOutput& operator<<(std::string_view text);
    DocumentOutput& operator<<(char c) { return *this << std::string_view(&c, 1); }

    // The same for a text that holds no line feed (number lists: megabytes that need no
    // translation), without searching it for one. A line feed in it is a caller's bug
    // (asserted in debug builds).
    void writeLineFree(std::string_view text);

    // Hands everything buffered to the sink. The destructor does not flush: a document
    // abandoned by an exception is not completed.
    void flush();

private:
    void putRaw(std::string_view bytes);

    ByteSink& sink_;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
};

}  // namespace vantro::collada
