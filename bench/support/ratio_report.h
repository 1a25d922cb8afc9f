#pragma once
// Runs the registered benchmarks and then prints, for each pair given, the ratio of
// a measured case to its baseline from the same run ("writing into a fresh buffer
// takes 1.07x memcpy into fresh memory"), so that figures compare on any machine.

#include <string>
#include <vector>

namespace vantro::bench {

struct Ratio {
    std::string measured;  // benchmark function name, e.g. "BM_WriteFreshBuffer256MiB"
    std::string baseline;  // (each needs a single run: no arguments or ranges)
    std::string label;     // what the ratio means, printed before it
};

// Use as main: initialises Google Benchmark with argc/argv, runs every benchmark with
// the console reporter, then prints each ratio whose two cases both ran (real time
// per iteration; the median of a case's repetitions when it has several). Returns the
// process exit code.
int runWithRatios(int argc, char** argv, const std::vector<Ratio>& ratios);

}  // namespace vantro::bench
