// Fuzz target for the registry store's file parser: a values file and the key
// directory names are files any process of the user (or a crash half-way through a
// write) may leave behind. The first input byte chooses the parser; the rest is the
// text. What parses must write out as text that parses to the same thing.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/posix/registry_format.h"

using namespace vantro::platform;

namespace {

bool sameValues(const std::vector<RegValue>& a, const std::vector<RegValue>& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].name != b[i].name || a[i].type != b[i].type || a[i].data != b[i].data)
            return false;
    return true;
}

void valuesFile(std::string_view text) {
    const auto values = posix::parseValues(text);
    if (!values)
        return;
    const std::string written = posix::formatValues(*values);
    const auto again = posix::parseValues(written);
    if (!again || !sameValues(*values, *again) || posix::formatValues(*again) != written)
        std::abort();
}

void keyDirectoryName(std::string_view fileName) {
    const auto name = posix::decodeKeyName(fileName);
    if (!name)
        return;
    const auto again = posix::decodeKeyName(posix::encodeKeyName(*name));
    if (!again || *again != *name)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] & 1)
        keyDirectoryName(text);
    else
        valuesFile(text);
    return 0;
}
