#pragma once
// Appends long lists of formatted numbers to a std::string. Numbers are formatted into
// a small buffer on the stack and handed to the string in blocks, so the string grows
// by a few large appends instead of one append per number.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fixed_format.h"

namespace vantro::collada {

class NumberListWriter {
public:
    // target must outlive the writer; text goes into it at the latest on destruction.
    explicit NumberListWriter(std::string& target) : target_(target) {}
    ~NumberListWriter() { flush(); }
    NumberListWriter(const NumberListWriter&) = delete;
    NumberListWriter& operator=(const NumberListWriter&) = delete;

    // "%.3f " of the float (trailing blank included).
    void fixed3(float value) {
        reserve(kMaxFloatFixedChars + 1);
        pos_ = writeFloatFixed<3>(pos_, value);
        *pos_++ = ' ';
    }

    // "%f " of the float (trailing blank included).
    void fixed6(float value) {
        reserve(kMaxFloatFixedChars + 1);
        pos_ = writeFloatFixed<6>(pos_, value);
        *pos_++ = ' ';
    }

    // "%d " of the value (trailing blank included).
    void integer(std::int32_t value) {
        reserve(kMaxIntChars + 1);
        pos_ = writeInt(pos_, value);
        *pos_++ = ' ';
    }

    // Hands everything written so far to the target string.
    void flush() {
        target_.append(buffer_, static_cast<std::size_t>(pos_ - buffer_));
        pos_ = buffer_;
    }

private:
    static constexpr std::size_t kBufferSize = 4096;

    void reserve(std::size_t room) {
        if (static_cast<std::size_t>(buffer_ + kBufferSize - pos_) < room)
            flush();
    }

    std::string& target_;
    char buffer_[kBufferSize];
    char* pos_ = buffer_;
};

}  // namespace vantro::collada
