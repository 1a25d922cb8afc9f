#pragma once
// ON_wString: the SDK's wide string. It holds UTF-16 code units (char16_t), never
// wchar_t, and is always NUL-terminated for Array(). Indices and lengths count code
// units. A thin value type over std::u16string.
//
// Thread-safety: a value type; distinct objects may be used from distinct threads.

#include <compare>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

class ON_wString {
public:
    ON_wString() = default;
    ON_wString(const char16_t* text);             // null gives the empty string
    ON_wString(const char16_t* text, int count);  // count < 0 or null text gives empty
    ON_wString(std::u16string text) : s_(std::move(text)) {}
    ON_wString(std::u16string_view text) : s_(text) {}
    ON_wString(char16_t c, int repeat);
    // From UTF-8 (invalid sequences become U+FFFD). Null gives the empty string.
    ON_wString(const char* utf8);
    static ON_wString FromUtf8(std::string_view utf8);

    int Length() const { return static_cast<int>(s_.size()); }
    bool IsEmpty() const { return s_.empty(); }
    bool IsNotEmpty() const { return !s_.empty(); }
    void Empty() { s_.clear(); }

    // Never null; valid until the string is next changed.
    const char16_t* Array() const { return s_.c_str(); }
    const std::u16string& str() const { return s_; }
    std::u16string_view view() const { return s_; }
    // UTF-8 copy (unpaired surrogates become U+FFFD).
    std::string ToUtf8() const;

    // Code unit at index; index must be in [0, Length()).
    char16_t operator[](int index) const;

    ON_wString& operator+=(const ON_wString& other);
    ON_wString& operator+=(const char16_t* other);
    ON_wString& operator+=(char16_t c);
    friend ON_wString operator+(ON_wString a, const ON_wString& b) { return a += b; }
    friend ON_wString operator+(ON_wString a, const char16_t* b) { return a += b; }
    friend ON_wString operator+(const char16_t* a, const ON_wString& b) { return ON_wString(a) += b; }

    friend bool operator==(const ON_wString& a, const ON_wString& b) { return a.s_ == b.s_; }
    friend std::strong_ordering operator<=>(const ON_wString& a, const ON_wString& b) { return a.s_ <=> b.s_; }
    friend bool operator==(const ON_wString& a, const char16_t* b) { return a.s_ == std::u16string_view(b ? b : u""); }

    // Ordinal comparison (code unit by code unit); ignoreCase folds ASCII letters only.
    static int CompareOrdinal(const ON_wString& a, const ON_wString& b, bool ignoreCase);
    bool EqualOrdinal(const ON_wString& other, bool ignoreCase) const {
        return CompareOrdinal(*this, other, ignoreCase) == 0;
    }

    // Index of the first occurrence at or after start, -1 when absent (or when the
    // needle is empty or start is out of range).
    int Find(char16_t c, int start = 0) const;
    int Find(const char16_t* needle, int start = 0) const;
    // Index of the last occurrence, -1 when absent.
    int ReverseFind(char16_t c) const;
    int ReverseFind(const char16_t* needle) const;

    // Sub-strings; counts and positions are clamped to the string.
    ON_wString Left(int count) const;
    ON_wString Right(int count) const;
    ON_wString Mid(int start, int count) const;
    ON_wString Mid(int start) const;

    // Replaces every occurrence; returns how many were replaced. An empty token
    // replaces nothing.
    int Replace(const char16_t* token, const char16_t* replacement);
    int Replace(char16_t token, char16_t replacement);

    void TrimLeftAndRight();
    // ASCII letters only; other code units are left alone.
    void MakeLowerOrdinal();

    // printf-style formatting into this string; returns false (and leaves the string
    // empty) on a malformed format. Conversions: %d %i %u %x %X %o %c %e %f %g (with
    // flags, width, precision, '*' and the length modifiers hh h l ll z j t L), %%,
    // %s and %ls take a const char16_t* (null prints "(null)"), %hs a UTF-8 const
    // char*. Arguments must match their conversions, as with printf.
    static ON_wString FormatToString(const char16_t* format, ...);

private:
    std::u16string s_;
};

template <>
struct std::hash<ON_wString> {
    size_t operator()(const ON_wString& s) const { return std::hash<std::u16string>()(s.str()); }
};
