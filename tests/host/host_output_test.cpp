// Output: a host line never continues text printed without a line break.

#include "host_output.h"

#include <gtest/gtest.h>

namespace vantro::host {
namespace {

// line() ends an open line first; write() passes text unchanged.
TEST(HostOutput, LinesStartOnTheirOwnLine) {
    std::string out;
    HostOutput output([&](std::string_view text) { out += text; });
    EXPECT_TRUE(output.atLineStart());
    output.line("a");
    output.write("ERROR: no line end");
    EXPECT_FALSE(output.atLineStart());
    output.line("b");
    output.write("c\n");
    output.line("d");
    EXPECT_EQ(out, "a\nERROR: no line end\nb\nc\nd\n");
    output.write("");
    EXPECT_TRUE(output.atLineStart());
}

}  // namespace
}  // namespace vantro::host
