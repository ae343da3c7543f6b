// The console report, followed by a table that pairs each processor run
// (the VST 2.4 plug-in) with the LV2 plug-in, the wobble's vector and scalar
// steps, the floor, the plain biquad and the tail of the same rate and block
// size.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& reports) override;
    void Finalize() override;

private:
    using Config = std::pair<long, long>;  // sample rate, block size
    // kind ("Processor", "Floor", ...) -> config -> CPU ns per frame, one per repetition
    std::map<std::string, std::map<Config, std::vector<double>>> perFrame;
};
