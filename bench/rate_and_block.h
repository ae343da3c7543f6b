// What every processing benchmark reports per frame, and the grid of sample
// rates and block sizes each runs over (names kind/rate/block, which the
// ratio table pairs up).
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>

inline void setFrameCounters(benchmark::State& state, float sampleRate, std::int32_t frames) {
    state.counters["frame_time"] = benchmark::Counter(
        static_cast<double>(frames), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["x_realtime"] =
        benchmark::Counter(static_cast<double>(frames) / sampleRate, benchmark::Counter::kIsIterationInvariantRate);
}

inline void rateAndBlock(benchmark::internal::Benchmark* b) {
    b->ArgNames({"rate", "block"});
    for (std::int64_t rate : {44100, 48000, 96000})
        for (std::int64_t block : {32, 512, 4096}) b->Args({rate, block});
}
