#include "sdk/geometry/on_string.h"

#include <algorithm>
#include <cassert>
#include <cstdarg>
#include <cstdint>
#include <cstdio>

#include "platform/utf.h"
#include "sdk_internal.h"

namespace {

char16_t asciiLower(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

void appendAscii(std::u16string& out, const char* text) {
    for (; *text; ++text)
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(*text)));
}

void appendPadded(std::u16string& out, std::u16string_view text, int width, bool left) {
    const int pad = width > static_cast<int>(text.size()) ? width - static_cast<int>(text.size()) : 0;
    if (!left)
        out.append(static_cast<size_t>(pad), u' ');
    out.append(text);
    if (left)
        out.append(static_cast<size_t>(pad), u' ');
}

// One conversion specification as printf reads it.
struct Spec {
    std::string flags;
    int width = -1;
    int precision = -1;
    std::string length;
    char conversion = 0;
};

// Formats one number with the C library into out. `value` is passed already promoted.
template <class T>
void appendNumber(std::u16string& out, const Spec& spec, T value) {
    std::string fmt = "%" + spec.flags;
    if (spec.width >= 0)
        fmt += std::to_string(spec.width);
    if (spec.precision >= 0)
        fmt += "." + std::to_string(spec.precision);
    fmt += spec.length;
    fmt.push_back(spec.conversion);
    char small[128];
    const int n = std::snprintf(small, sizeof small, fmt.c_str(), value);
    if (n < 0)
        return;
    if (static_cast<size_t>(n) < sizeof small) {
        appendAscii(out, small);
        return;
    }
    std::string big(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(big.data(), big.size(), fmt.c_str(), value);
    big.resize(static_cast<size_t>(n));
    appendAscii(out, big.c_str());
}

bool formatInto(std::u16string& out, const char16_t* format, va_list args) {
    if (!format)
        return false;
    for (const char16_t* p = format; *p; ++p) {
        if (*p != u'%') {
            out.push_back(*p);
            continue;
        }
        ++p;
        if (*p == u'%') {
            out.push_back(u'%');
            continue;
        }
        Spec spec;
        while (*p == u'-' || *p == u'+' || *p == u' ' || *p == u'#' || *p == u'0')
            spec.flags.push_back(static_cast<char>(*p++));
        if (*p == u'*') {
            spec.width = va_arg(args, int);
            if (spec.width < 0) {
                spec.flags.push_back('-');
                spec.width = -spec.width;
            }
            ++p;
        } else if (*p >= u'0' && *p <= u'9') {
            spec.width = 0;
            while (*p >= u'0' && *p <= u'9')
                spec.width = spec.width * 10 + (*p++ - u'0');
        }
        if (*p == u'.') {
            ++p;
            spec.precision = 0;
            if (*p == u'*') {
                spec.precision = va_arg(args, int);
                if (spec.precision < 0)
                    spec.precision = -1;
                ++p;
            } else {
                while (*p >= u'0' && *p <= u'9')
                    spec.precision = spec.precision * 10 + (*p++ - u'0');
            }
        }
        while (*p == u'h' || *p == u'l' || *p == u'z' || *p == u'j' || *p == u't' || *p == u'L') {
            spec.length.push_back(static_cast<char>(*p++));
        }
        if (!*p)
            return false;
        spec.conversion = static_cast<char>(*p);
        const std::string& len = spec.length;
        const bool left = spec.flags.find('-') != std::string::npos;
        switch (*p) {
            case u'd':
            case u'i':
                if (len == "ll")
                    appendNumber(out, spec, va_arg(args, long long));
                else if (len == "l")
                    appendNumber(out, spec, va_arg(args, long));
                else if (len == "z" || len == "t")
                    appendNumber(out, spec, va_arg(args, ptrdiff_t));
                else if (len == "j")
                    appendNumber(out, spec, va_arg(args, intmax_t));
                else if (len.empty() || len == "h" || len == "hh")
                    appendNumber(out, spec, va_arg(args, int));
                else
                    return false;
                break;
            case u'u':
            case u'o':
            case u'x':
            case u'X':
                if (len == "ll")
                    appendNumber(out, spec, va_arg(args, unsigned long long));
                else if (len == "l")
                    appendNumber(out, spec, va_arg(args, unsigned long));
                else if (len == "z" || len == "t")
                    appendNumber(out, spec, va_arg(args, size_t));
                else if (len == "j")
                    appendNumber(out, spec, va_arg(args, uintmax_t));
                else if (len.empty() || len == "h" || len == "hh")
                    appendNumber(out, spec, va_arg(args, unsigned int));
                else
                    return false;
                break;
            case u'e':
            case u'E':
            case u'f':
            case u'F':
            case u'g':
            case u'G':
            case u'a':
            case u'A':
                if (len == "L")
                    appendNumber(out, spec, va_arg(args, long double));
                else if (len.empty() || len == "l") {
                    spec.length.clear();
                    appendNumber(out, spec, va_arg(args, double));
                } else
                    return false;
                break;
            case u'p':
                spec.length.clear();
                appendNumber(out, spec, va_arg(args, void*));
                break;
            case u'c': {
                const char16_t c = static_cast<char16_t>(va_arg(args, int));
                appendPadded(out, std::u16string_view(&c, 1), spec.width, left);
                break;
            }
            case u's':
            case u'S': {
                std::u16string text;
                if (len == "h") {
                    const char* s = va_arg(args, const char*);
                    text = s ? vantro::platform::fromUtf8(s) : u"(null)";
                } else if (len.empty() || len == "l") {
                    const char16_t* s = va_arg(args, const char16_t*);
                    text = s ? s : u"(null)";
                } else {
                    return false;
                }
                if (spec.precision >= 0 && text.size() > static_cast<size_t>(spec.precision)) {
                    text.resize(static_cast<size_t>(spec.precision));
                }
                appendPadded(out, text, spec.width, left);
                break;
            }
            default: return false;
        }
    }
    return true;
}

}  // namespace

ON_wString::ON_wString(const char16_t* text) {
    if (text)
        s_ = text;
}

ON_wString::ON_wString(const char16_t* text, int count) {
    if (text && count > 0)
        s_.assign(text, static_cast<size_t>(count));
}

ON_wString::ON_wString(char16_t c, int repeat) {
    if (repeat > 0)
        s_.assign(static_cast<size_t>(repeat), c);
}

ON_wString::ON_wString(const char* utf8) {
    if (utf8)
        s_ = vantro::platform::fromUtf8(utf8);
}

ON_wString ON_wString::FromUtf8(std::string_view utf8) { return ON_wString(vantro::platform::fromUtf8(utf8)); }

std::string ON_wString::ToUtf8() const { return vantro::platform::toUtf8(s_); }

char16_t ON_wString::operator[](int index) const {
    assert(index >= 0 && index < Length());
    return s_[static_cast<size_t>(index)];
}

ON_wString& ON_wString::operator+=(const ON_wString& other) {
    s_ += other.s_;
    return *this;
}

ON_wString& ON_wString::operator+=(const char16_t* other) {
    if (other)
        s_ += other;
    return *this;
}

ON_wString& ON_wString::operator+=(char16_t c) {
    s_.push_back(c);
    return *this;
}

int ON_wString::CompareOrdinal(const ON_wString& a, const ON_wString& b, bool ignoreCase) {
    const size_t n = std::min(a.s_.size(), b.s_.size());
    for (size_t i = 0; i < n; ++i) {
        char16_t x = a.s_[i], y = b.s_[i];
        if (ignoreCase) {
            x = asciiLower(x);
            y = asciiLower(y);
        }
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.s_.size() == b.s_.size())
        return 0;
    return a.s_.size() < b.s_.size() ? -1 : 1;
}

int ON_wString::Find(char16_t c, int start) const {
    if (start < 0 || start >= Length())
        return -1;
    const size_t at = s_.find(c, static_cast<size_t>(start));
    return at == std::u16string::npos ? -1 : static_cast<int>(at);
}

int ON_wString::Find(const char16_t* needle, int start) const {
    if (!needle || !*needle || start < 0 || start > Length())
        return -1;
    const size_t at = s_.find(needle, static_cast<size_t>(start));
    return at == std::u16string::npos ? -1 : static_cast<int>(at);
}

int ON_wString::ReverseFind(char16_t c) const {
    const size_t at = s_.rfind(c);
    return at == std::u16string::npos ? -1 : static_cast<int>(at);
}

int ON_wString::ReverseFind(const char16_t* needle) const {
    if (!needle || !*needle)
        return -1;
    const size_t at = s_.rfind(needle);
    return at == std::u16string::npos ? -1 : static_cast<int>(at);
}

ON_wString ON_wString::Left(int count) const {
    if (count <= 0)
        return {};
    return ON_wString(s_.substr(0, static_cast<size_t>(count)));
}

ON_wString ON_wString::Right(int count) const {
    if (count <= 0)
        return {};
    if (count >= Length())
        return *this;
    return ON_wString(s_.substr(s_.size() - static_cast<size_t>(count)));
}

ON_wString ON_wString::Mid(int start, int count) const {
    if (start < 0) {
        count += start;
        start = 0;
    }
    if (count <= 0 || start >= Length())
        return {};
    return ON_wString(s_.substr(static_cast<size_t>(start), static_cast<size_t>(count)));
}

ON_wString ON_wString::Mid(int start) const { return Mid(start, Length()); }

int ON_wString::Replace(const char16_t* token, const char16_t* replacement) {
    if (!token || !*token)
        return 0;
    const std::u16string_view from(token);
    const std::u16string_view to(replacement ? replacement : u"");
    int count = 0;
    size_t at = 0;
    while ((at = s_.find(from, at)) != std::u16string::npos) {
        s_.replace(at, from.size(), to);
        at += to.size();
        ++count;
    }
    return count;
}

int ON_wString::Replace(char16_t token, char16_t replacement) {
    int count = 0;
    for (char16_t& c : s_) {
        if (c == token) {
            c = replacement;
            ++count;
        }
    }
    return count;
}

void ON_wString::TrimLeftAndRight() {
    auto space = [](char16_t c) {
        return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f';
    };
    size_t b = 0, e = s_.size();
    while (b < e && space(s_[b]))
        ++b;
    while (e > b && space(s_[e - 1]))
        --e;
    s_ = s_.substr(b, e - b);
}

void ON_wString::MakeLowerOrdinal() {
    for (char16_t& c : s_)
        c = asciiLower(c);
}

ON_wString ON_wString::FormatToString(const char16_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::u16string out;
    const bool ok = formatInto(out, format, args);
    va_end(args);
    return ok ? ON_wString(std::move(out)) : ON_wString();
}

namespace vantro::sdk {
// Shared with CRhinoApp::Print, which formats with the same rules.
bool formatWide(std::u16string& out, const char16_t* format, va_list args) { return formatInto(out, format, args); }
}  // namespace vantro::sdk
