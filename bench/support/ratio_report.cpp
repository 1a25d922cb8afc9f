#include "support/ratio_report.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>

namespace vantro::bench {
namespace {

// The console reporter (without colour codes, so logs stay readable), remembering
// each run's real time per iteration under its function name.
class RecordingReporter : public benchmark::ConsoleReporter {
public:
    RecordingReporter() : ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                realSeconds[run.run_name.function_name] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> realSeconds;  // in each run's own time unit
};

}  // namespace

int runWithRatios(int argc, char** argv, const std::vector<Ratio>& ratios) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    for (const Ratio& ratio : ratios) {
        auto measured = reporter.realSeconds.find(ratio.measured);
        auto baseline = reporter.realSeconds.find(ratio.baseline);
        if (measured == reporter.realSeconds.end() || baseline == reporter.realSeconds.end() || baseline->second <= 0)
            continue;
        std::printf("ratio %s: %.3f (%s / %s)\n", ratio.label.c_str(), measured->second / baseline->second,
                    ratio.measured.c_str(), ratio.baseline.c_str());
    }
    return 0;
}

}  // namespace vantro::bench
