#pragma once
// Outside tools a test needs (xmllint, the reference checker, an importer). On a
// developer machine a missing tool skips the test with a message naming it; in CI
// (the environment variable CI is "true") it fails the test, so that no check passes
// there without having run. Data from ../shared is not a tool: its tests skip
// everywhere, as a fresh clone has none.

#include <cstdlib>
#include <string_view>

#include <gtest/gtest.h>

// Ends the calling test (skipped, or failed in CI) unless present; what names the tool.
#define VANTRO_REQUIRE_TOOL(present, what)                                                         \
    do {                                                                                           \
        if (!(present)) {                                                                          \
            if (const char* ci = std::getenv("CI"); ci && std::string_view(ci) == "true")          \
                FAIL() << (what) << " is missing; CI must have it (scripts/setup.sh installs it)"; \
            GTEST_SKIP() << (what) << " is needed (scripts/setup.sh installs it)";                 \
        }                                                                                          \
    } while (false)
