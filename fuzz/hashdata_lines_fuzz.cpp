// Fuzz target for the reader of HashData comparison lines: the text is what a Windows
// program printed under Wine, or a file, so any bytes may be there. Text that reads
// must write back as text that reads to the same cases.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "../tests/link/hashdata_lines.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    const auto cases =
        vantro::test::parseHashDataLines(std::string_view(reinterpret_cast<const char*>(data), size), error);
    if (!cases)
        return error.empty() ? (std::abort(), 0) : 0;
    const std::string written = vantro::test::formatHashDataLines(*cases);
    const auto again = vantro::test::parseHashDataLines(written, error);
    if (!again || *again != *cases)
        std::abort();
    return 0;
}
