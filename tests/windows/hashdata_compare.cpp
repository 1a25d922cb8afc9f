// Prints the Windows HashData of a few thousand deterministic names, one per line, for
// tests/link/hash_data_test.cpp to compare with our own hashData. Built for Windows
// only (one file, links shlwapi); scripts/hashdata-golden.sh builds it with MinGW and
// runs it under Wine.
//
// Output: a '#' comment line, then per name "<units> <hash>": the name's UTF-16 code
// units as four upper-case hex digits each ("-" for the empty name) and the 8-byte
// HashData of those units as little-endian bytes, read as a little-endian unsigned
// integer, in decimal. The names come from a fixed generator, so every run prints the
// same names; only the hashes depend on the system.

#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shlwapi.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// splitmix64: the same sequence from every compiler and system.
struct Generator {
    uint64_t state;
    uint64_t next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint32_t below(uint32_t n) { return static_cast<uint32_t>(next() % n); }
};

using Name = std::u16string;

char16_t unitFrom(Generator& g, const std::u16string& alphabet) { return alphabet[g.below(alphabet.size())]; }

// Text a file name might hold: ASCII letters, digits and path punctuation.
Name asciiName(Generator& g, size_t length) {
    static const std::u16string alphabet = u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ._-/\\:";
    Name name;
    for (size_t i = 0; i < length; ++i)
        name += unitFrom(g, alphabet);
    return name;
}

// Letters from several scripts, the byte pairs' high halves all non-zero.
Name bmpName(Generator& g, size_t length) {
    Name name;
    for (size_t i = 0; i < length; ++i) {
        char16_t unit;
        do
            unit = static_cast<char16_t>(0x00A0 + g.below(0xD7FF - 0x00A0));
        while (unit == 0);
        name += unit;
    }
    return name;
}

// Code points above U+FFFF as surrogate pairs, mixed with ASCII.
Name surrogateName(Generator& g, size_t pairs) {
    Name name;
    for (size_t i = 0; i < pairs; ++i) {
        const uint32_t cp = 0x10000 + g.below(0x100000);
        name += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
        name += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        if (g.below(2) == 0)
            name += static_cast<char16_t>(u'a' + g.below(26));
    }
    return name;
}

// Any 16-bit units at all, lone surrogates and zeros included.
Name rawName(Generator& g, size_t length) {
    Name name;
    for (size_t i = 0; i < length; ++i)
        name += static_cast<char16_t>(g.below(0x10000));
    return name;
}

std::vector<Name> names() {
    Generator g{20261207};
    std::vector<Name> out;
    out.push_back(u"C:/Work/house.dae");
    out.push_back(u"");
    for (uint32_t unit = 0; unit < 0x100; ++unit)  // one unit: every low byte with a zero high byte
        out.push_back(Name(1, static_cast<char16_t>(unit)));
    for (char16_t unit : {0x0100, 0x00FF, 0x20AC, 0x4E2D, 0xD800, 0xDFFF, 0xFEFF, 0xFFFE, 0xFFFF})
        out.push_back(Name(1, unit));
    for (int i = 0; i < 16; ++i) {  // 260 units, and either side of it
        out.push_back(asciiName(g, 260));
        out.push_back(bmpName(g, 260));
        out.push_back(rawName(g, 259 + g.below(3)));
    }
    out.push_back(Name(260, u'a'));
    out.push_back(u"C:/" + Name(253, u'x') + u".dae");
    for (int i = 0; i < 600; ++i)
        out.push_back(u"C:/Work/" + asciiName(g, 1 + g.below(40)) + u".dae");
    for (int i = 0; i < 500; ++i)
        out.push_back(bmpName(g, 1 + g.below(24)));
    for (int i = 0; i < 400; ++i)
        out.push_back(surrogateName(g, 1 + g.below(12)));
    for (int i = 0; i < 1200; ++i)
        out.push_back(rawName(g, g.below(64)));
    return out;
}

}  // namespace

int main() {
    _setmode(_fileno(stdout), _O_BINARY);  // LF line ends, as on Linux
    std::printf("# units hashdata8\n");
    for (const Name& name : names()) {
        std::vector<BYTE> bytes;
        for (char16_t unit : name) {
            bytes.push_back(static_cast<BYTE>(unit & 0xFF));
            bytes.push_back(static_cast<BYTE>(unit >> 8));
        }
        BYTE hash[8] = {};
        BYTE none = 0;
        if (FAILED(HashData(bytes.empty() ? &none : bytes.data(), static_cast<DWORD>(bytes.size()), hash, 8))) {
            std::fprintf(stderr, "HashData failed\n");
            return 1;
        }
        uint64_t value = 0;
        for (int i = 7; i >= 0; --i)
            value = value << 8 | hash[i];
        if (name.empty())
            std::printf("-");
        for (char16_t unit : name)
            std::printf("%04X", static_cast<unsigned>(unit));
        std::printf(" %llu\n", static_cast<unsigned long long>(value));
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
