// hashData against the Windows HashData: every name the Windows program
// tests/windows/hashdata_compare.cpp hashed with the system's function must hash to
// the same 8 bytes here. The names and hashes come from tests/data/hashdata/
// (scripts/hashdata-golden.sh), or from VANTRO_HASHDATA_FILE when a run of the
// program under Wine is to be compared live.

#include "platform/hash_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "hashdata_lines.h"
#include "platform/utf.h"

namespace {

using vantro::platform::hashData;
using vantro::test::HashDataCase;

uint64_t hash8(const std::u16string& name) {
    std::vector<uint8_t> bytes;
    for (char16_t unit : name) {
        bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
    std::array<uint8_t, 8> out{};
    hashData(bytes, out);
    uint64_t value = 0;
    for (size_t i = out.size(); i-- > 0;)
        value = value << 8 | out[i];
    return value;
}

std::vector<HashDataCase> windowsCases() {
    const char* live = std::getenv("VANTRO_HASHDATA_FILE");
    const std::string path = live && *live ? live : VANTRO_SOURCE_DIR "/tests/data/hashdata/windows-hashdata.txt";
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    std::string error;
    auto cases = vantro::test::parseHashDataLines(text.str(), error);
    EXPECT_TRUE(in.good() && cases) << path << ": " << (in.good() ? error : "cannot be read");
    return cases ? *cases : std::vector<HashDataCase>{};
}

// Every name Windows hashed hashes the same here; the set reaches the awkward inputs.
TEST(HashData, AgreesWithWindowsOnEveryName) {
    const std::vector<HashDataCase> cases = windowsCases();
    ASSERT_GE(cases.size(), 3000u);
    size_t empty = 0, oneUnit = 0, long260 = 0, nonAscii = 0, surrogates = 0, mismatches = 0;
    for (const HashDataCase& c : cases) {
        empty += c.name.empty();
        oneUnit += c.name.size() == 1;
        long260 += c.name.size() >= 260;
        bool wide = false, pair = false;
        for (size_t i = 0; i < c.name.size(); ++i) {
            wide |= c.name[i] > 0x7F;
            pair |= i + 1 < c.name.size() && c.name[i] >= 0xD800 && c.name[i] < 0xDC00 && c.name[i + 1] >= 0xDC00 &&
                    c.name[i + 1] < 0xE000;
        }
        nonAscii += wide;
        surrogates += pair;
        if (hash8(c.name) != c.hash && ++mismatches <= 5)
            ADD_FAILURE() << "units " << c.name.size() << " \"" << vantro::platform::toUtf8(c.name) << "\": Windows "
                          << c.hash << ", ours " << hash8(c.name);
    }
    EXPECT_EQ(mismatches, 0u) << "of " << cases.size();
    EXPECT_GE(empty, 1u);
    EXPECT_GE(oneUnit, 256u);
    EXPECT_GE(long260, 32u);
    EXPECT_GE(nonAscii, 500u);
    EXPECT_GE(surrogates, 300u);
}

// Each output byte is its own chain seeded with its index modulo 256: an empty input
// leaves the seeds, and a longer hash begins with the shorter one.
TEST(HashData, OutputBytesAreSeededByTheirIndex) {
    std::array<uint8_t, 300> seeds{};
    hashData({}, seeds);
    for (size_t i = 0; i < seeds.size(); ++i)
        EXPECT_EQ(seeds[i], static_cast<uint8_t>(i)) << i;

    const std::array<uint8_t, 5> data = {0x43, 0x00, 0x3A, 0x00, 0xFF};
    std::array<uint8_t, 300> wide{};
    std::array<uint8_t, 8> narrow{};
    hashData(data, wide);
    hashData(data, narrow);
    EXPECT_TRUE(std::equal(narrow.begin(), narrow.end(), wide.begin()));
    EXPECT_TRUE(std::equal(wide.begin(), wide.begin() + 44, wide.begin() + 256));
    std::array<uint8_t, 1> guard = {0xEE};
    hashData(data, std::span<uint8_t>(guard.data(), 0));
    EXPECT_EQ(guard[0], 0xEE);
}

// The reader takes only well-formed lines within its limits and says which line is
// at fault; what it reads writes back as the same text.
TEST(HashDataLines, RejectsMalformedLinesAndRoundTrips) {
    std::string error;
    const std::string good = "# units hashdata8\r\n- 506097522914230528\r\n00610062 18446744073709551615";
    const auto cases = vantro::test::parseHashDataLines(good, error);
    ASSERT_TRUE(cases) << error;
    EXPECT_EQ(*cases, (std::vector<HashDataCase>{{u"", 506097522914230528ull}, {u"ab", UINT64_MAX}}));
    EXPECT_EQ(vantro::test::parseHashDataLines(vantro::test::formatHashDataLines(*cases), error), cases);

    for (const std::string bad :
         {"", "units\n- 1\n", "# units hashdata8\n0061 18446744073709551616\n", "# units hashdata8\n006 1\n",
          "# units hashdata8\n0x61 1\n", "# units hashdata8\n0061 01\n", "# units hashdata8\n0061\n",
          "# units hashdata8\n 1\n", "# units hashdata8\n0061 1 2\n", "# units hashdata8\n00610062 -1\n"}) {
        error.clear();
        EXPECT_FALSE(vantro::test::parseHashDataLines(bad, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    vantro::test::parseHashDataLines("# units hashdata8\n0061 1\nzz 2\n", error);
    EXPECT_EQ(error.substr(0, 6), "line 3");
    EXPECT_FALSE(vantro::test::parseHashDataLines("# units hashdata8\n" + std::string(4 * 4097, '0') + " 1\n", error));
}

}  // namespace
