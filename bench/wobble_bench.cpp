// The processor through the record, the wobble alone in each build of its
// sweep's steps (vector and scalar, same run), their floor and a plain
// biquad, and the cost of a decaying tail against a normal signal. Names are
// kind/rate/block; the ratio table at the end pairs them up.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>

#include "bench_host.h"
#include "effect/wobble.h"
#include "rate_and_block.h"
#include "reference_kernels.h"

namespace {

constexpr float kNoiseLevel = 0.5f;

// Times `processBlock` once per iteration, keeping its output alive.
template <typename ProcessBlock>
void measure(benchmark::State& state, StereoBlock& output, ProcessBlock processBlock) {
    for (auto _ : state) {
        processBlock();
        benchmark::DoNotOptimize(output.left.data());
        benchmark::DoNotOptimize(output.right.data());
        benchmark::ClobberMemory();
    }
    setFrameCounters(state, static_cast<float>(state.range(0)), static_cast<std::int32_t>(state.range(1)));
}

void BM_Processor(benchmark::State& state) {
    const auto sampleRate = static_cast<float>(state.range(0));
    const auto frames = static_cast<std::int32_t>(state.range(1));
    BenchHost host(sampleRate);
    StereoBlock input(frames), output(frames);
    fillNoise(input, kNoiseLevel, 1);
    measure(state, output, [&] { host.process(input.data(), output.data(), frames); });
}

// The wobble driven directly with the given steps, at 120 BPM over the same
// 64-bar loop as the host's transport.
void measureWobble(benchmark::State& state, SweepSteps steps) {
    const auto sampleRate = static_cast<float>(state.range(0));
    const auto frames = static_cast<std::int32_t>(state.range(1));
    Wobble wobble;
    if (!wobble.useSteps(steps)) {
        state.SkipWithError("these steps do not run on this machine");
        return;
    }
    StereoBlock input(frames), output(frames);
    fillNoise(input, kNoiseLevel, 1);
    const double step = 1.0 / (static_cast<double>(sampleRate) / (120.0 / 60.0));
    double position = 0.0;
    measure(state, output, [&] {
        wobble.process(input.data(), output.data(), frames, sampleRate, [&] { return SongPosition{position, 120.0}; });
        position += frames * step;
        if (position >= 256.0) position -= 256.0;
    });
}

void BM_Vector(benchmark::State& state) { measureWobble(state, SweepSteps::avx2); }

void BM_Scalar(benchmark::State& state) { measureWobble(state, SweepSteps::scalar); }

void BM_Floor(benchmark::State& state) {
    const auto sampleRate = static_cast<float>(state.range(0));
    const auto frames = static_cast<std::int32_t>(state.range(1));
    const FloorKernel kernel(4.0f / 12.0f, sampleRate, 500.0f, 20000.0f);
    const double step = 1.0 / (static_cast<double>(sampleRate) / (120.0 / 60.0));
    StereoBlock input(frames), output(frames);
    fillNoise(input, kNoiseLevel, 1);
    double position = 0.0;
    measure(state, output, [&] {
        kernel.run(position, step, input.data(), output.data(), frames);
        position += frames * step;
        if (position >= 256.0) position -= 256.0;
    });
}

void BM_StereoBiquad(benchmark::State& state) {
    const auto frames = static_cast<std::int32_t>(state.range(1));
    StereoBiquad biquad;
    StereoBlock input(frames), output(frames);
    fillNoise(input, kNoiseLevel, 1);
    measure(state, output, [&] { biquad.run(input.data(), output.data(), frames); });
}

// The tail is measured with the cut-off held at 500 Hz (both sweep
// frequencies), where a decaying filter settles into a limit cycle of
// subnormal values instead of reaching zero; the steady benchmark is the
// same setting with a normal signal.
constexpr float kFreq500 = (500.0f - 20.0f) / 19980.0f;

void holdCutoffAt500(BenchHost& host) {
    host.setParameter(1, kFreq500);
    host.setParameter(2, kFreq500);
}

bool hasSubnormal(const StereoBlock& block) {
    for (std::size_t i = 0; i < block.left.size(); ++i)
        if (std::fpclassify(block.left[i]) == FP_SUBNORMAL || std::fpclassify(block.right[i]) == FP_SUBNORMAL)
            return true;
    return false;
}

// A loud burst, then silence until the histories are subnormal (or, with
// subnormals flushed, until a few seconds have passed).
void decayAfterBurst(BenchHost& host, StereoBlock& output, float sampleRate) {
    const auto frames = static_cast<std::int32_t>(output.left.size());
    StereoBlock burst(frames), silence(frames);
    fillNoise(burst, 1.0f, 7);
    const auto burstBlocks = static_cast<std::int64_t>(sampleRate * 0.1f) / frames + 1;
    const auto maxBlocks = static_cast<std::int64_t>(sampleRate * 5.0f) / frames + 1;
    for (std::int64_t b = 0; b < burstBlocks; ++b) host.process(burst.data(), output.data(), frames);
    for (std::int64_t b = 0; b < maxBlocks && !hasSubnormal(output); ++b)
        host.process(silence.data(), output.data(), frames);
}

void BM_Steady(benchmark::State& state) {
    const auto sampleRate = static_cast<float>(state.range(0));
    const auto frames = static_cast<std::int32_t>(state.range(1));
    BenchHost host(sampleRate);
    holdCutoffAt500(host);
    StereoBlock input(frames), output(frames);
    fillNoise(input, kNoiseLevel, 1);
    measure(state, output, [&] { host.process(input.data(), output.data(), frames); });
}

void BM_Tail(benchmark::State& state) {
    const auto sampleRate = static_cast<float>(state.range(0));
    const auto frames = static_cast<std::int32_t>(state.range(1));
    BenchHost host(sampleRate);
    holdCutoffAt500(host);
    StereoBlock silence(frames), output(frames);
    decayAfterBurst(host, output, sampleRate);
    measure(state, output, [&] { host.process(silence.data(), output.data(), frames); });
    // The condition being measured: 1 while the decay is still subnormal
    // (the limit cycle never ends by itself), 0 once it is flushed.
    state.counters["subnormal"] = hasSubnormal(output) ? 1.0 : 0.0;
}

}  // namespace

BENCHMARK(BM_Processor)->Apply(rateAndBlock);
BENCHMARK(BM_Vector)->Apply(rateAndBlock);
BENCHMARK(BM_Scalar)->Apply(rateAndBlock);
BENCHMARK(BM_Floor)->Apply(rateAndBlock);
BENCHMARK(BM_StereoBiquad)->Apply(rateAndBlock);
BENCHMARK(BM_Steady)->Apply(rateAndBlock);
BENCHMARK(BM_Tail)->Apply(rateAndBlock);
