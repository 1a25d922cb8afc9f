#pragma once
// The byte stream the document is written to. Every line feed of the text becomes
// CR LF, on every platform, as a Windows text-mode stream would store it.

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vantro::collada {

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

// Writes to a file created (or truncated) at open. A failed write or close throws
// std::runtime_error naming the file, so that a short document is never left as if it
// were whole. Main thread only.
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
  // Closes the file; throws when the data could not be stored. Closing twice is harmless.
  void close();

 private:
  std::FILE* file_ = nullptr;
  std::filesystem::path path_;
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
