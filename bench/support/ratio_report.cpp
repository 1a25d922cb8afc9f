#include "support/ratio_report.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>

namespace vantro::bench {
namespace {

// The console reporter (without colour codes, so logs stay readable), remembering
// each case's real time per iteration under its function name: the median of its
// repetitions when it has several, so that one slow repetition on a shared machine
// does not make the ratio.
class RecordingReporter : public benchmark::ConsoleReporter {
public:
    RecordingReporter() : ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const std::string& name = run.run_name.function_name;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                medians[name] = run.GetAdjustedRealTime();
            else if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                lastRuns[name] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    // A case's time, in its own time unit; 0 when it did not run.
    double realTime(const std::string& name) const {
        for (const auto* times : {&medians, &lastRuns})
            if (auto found = times->find(name); found != times->end())
                return found->second;
        return 0;
    }

private:
    std::map<std::string, double> medians;
    std::map<std::string, double> lastRuns;
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
        const double measured = reporter.realTime(ratio.measured);
        const double baseline = reporter.realTime(ratio.baseline);
        if (measured <= 0 || baseline <= 0)
            continue;
        std::printf("ratio %s: %.3f (%s / %s)\n", ratio.label.c_str(), measured / baseline, ratio.measured.c_str(),
                    ratio.baseline.c_str());
    }
    return 0;
}

}  // namespace vantro::bench
