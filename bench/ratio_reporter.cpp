#include "ratio_reporter.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

namespace {

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

// "BM_Floor/rate:44100/block:512" -> "Floor", {44100, 512}
bool splitName(const std::string& name, std::string& kind, std::pair<long, long>& config) {
    const auto slash = name.find('/');
    const auto rateAt = name.find("rate:");
    const auto blockAt = name.find("block:");
    if (name.rfind("BM_", 0) != 0 || slash == std::string::npos || rateAt == std::string::npos ||
        blockAt == std::string::npos)
        return false;
    kind = name.substr(3, slash - 3);
    config = {std::stol(name.substr(rateAt + 5)), std::stol(name.substr(blockAt + 6))};
    return config.first > 0 && config.second > 0;
}

}  // namespace

void RatioReporter::ReportRuns(const std::vector<Run>& reports) {
    ConsoleReporter::ReportRuns(reports);
    for (const Run& run : reports) {
        if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
        std::string kind;
        Config config;
        if (!splitName(run.benchmark_name(), kind, config)) continue;
        const double seconds = run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
        perFrame[kind][config].push_back(seconds * 1e9 / static_cast<double>(config.second));
    }
}

void RatioReporter::Finalize() {
    ConsoleReporter::Finalize();
    std::ostream& out = GetOutputStream();
    const auto& processor = perFrame["Processor"];
    if (processor.empty()) return;
    auto lookup = [this](const char* kind, const Config& config) {
        const auto& runs = perFrame[kind];
        const auto it = runs.find(config);
        return it == runs.end() ? 0.0 : median(it->second);
    };
    char line[400];
    out << "\nCPU ns per stereo frame (median of repetitions) and ratios\n";
    std::snprintf(line, sizeof line, "%-14s %10s %10s %10s %10s %10s %10s %14s %10s %10s %10s %10s %12s %12s\n",
                  "rate / block", "processor", "lv2", "lv2 held", "lv2/vst", "vector", "scalar", "scalar/vector",
                  "floor", "biquad", "steady", "tail", "tail/steady", "x realtime");
    out << line;
    for (const auto& [config, runs] : processor) {
        const double p = median(runs);
        const double lv2 = lookup("Lv2", config);
        const double vector = lookup("Vector", config);
        const double scalar = lookup("Scalar", config);
        const double steady = lookup("Steady", config);
        const double tail = lookup("Tail", config);
        const auto rate = static_cast<double>(config.first);
        std::snprintf(
            line, sizeof line,
            "%6ld / %-5ld %10.2f %10.2f %10.2f %10.3f %10.2f %10.2f %14.2f %10.2f %10.2f %10.2f %10.2f %12.3f "
            "%12.0f\n",
            config.first, config.second, p, lv2, lookup("Lv2Held", config), lv2 / p, vector, scalar,
            vector > 0.0 ? scalar / vector : 0.0, lookup("Floor", config), lookup("StereoBiquad", config), steady, tail,
            steady > 0.0 ? tail / steady : 0.0, 1e9 / (p * rate));
        out << line;
    }
}
