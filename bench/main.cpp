// Runs every benchmark, then prints each one's ratio to its floor.
//
// A benchmark "Name" (with any "/args" after it) has its floor, the bare work
// on the same inputs, registered as "Name_Floor" with the same args. After the
// usual table comes one line per pair:
//     ratio Name/64: 1.84x (12.3 us vs 6.7 us)
// from the real time per iteration (the median when repetitions are asked for).
#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred)
                continue;
            const bool aggregate = run.run_type == Run::RT_Aggregate;
            if (aggregate && run.aggregate_name != "median")
                continue;
            const std::string name = run.run_name.str();
            const double perIteration = run.GetAdjustedRealTime();
            // A median, where there is one, replaces the single runs.
            if (aggregate || !m_median.count(name))
                m_times[name] = { perIteration, benchmark::GetTimeUnitString(run.time_unit) };
            if (aggregate)
                m_median[name] = true;
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        const std::string mark = "_Floor";
        for (const auto& [name, timed] : m_times) {
            const double time = timed.first;
            const std::string::size_type slash = name.find('/');
            const std::string base = name.substr(0, slash);
            if (base.size() > mark.size() && base.compare(base.size() - mark.size(), mark.size(), mark) == 0)
                continue;
            const std::string floorName = base + mark + (slash == std::string::npos ? "" : name.substr(slash));
            auto floor = m_times.find(floorName);
            if (floor == m_times.end() || floor->second.first <= 0)
                continue;
            std::printf("ratio %s: %.2fx (%.4g %s vs %.4g %s)\n", name.c_str(), time / floor->second.first, time,
                timed.second, floor->second.first, floor->second.second);
        }
        std::fflush(stdout);
    }

private:
    // Time per iteration and its unit, by name.
    std::map<std::string, std::pair<double, const char*>> m_times;
    std::map<std::string, bool> m_median;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    // One application for every benchmark: widget benchmarks need a
    // QApplication, and a plain core application made by whichever
    // benchmark ran first would make them abort.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    char* qtArgv[] = { argv[0], nullptr };
    QApplication application(qtArgc, qtArgv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
