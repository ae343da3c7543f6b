// The grid's scan and the signals the guard's tests use.
#include "runaway_guard_grid.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <mutex>
#include <thread>

#include "support/wobble_setting.h"

float peakOf(const StereoBuffer& b) {
    float peak = 0.0f;
    for (std::size_t i = 0; i < b.frames(); ++i) peak = std::max({peak, std::fabs(b.left[i]), std::fabs(b.right[i])});
    return peak;
}

StereoBuffer burstThenSilence(std::size_t burst, std::size_t silence, std::uint32_t seed) {
    StereoBuffer in = noise(burst + silence, seed);
    for (std::size_t i = burst; i < in.frames(); ++i) in.left[i] = in.right[i] = 0.0f;
    return in;
}

namespace {

std::string describe(const WobbleSetting& setting, double tempo) {
    return "period " + std::to_string(setting.periodIndex) + " Q " + std::to_string(setting.q) + " freq1 " +
           std::to_string(setting.freq1) + " freq2 " + std::to_string(setting.freq2) + " at " + std::to_string(tempo) +
           " BPM, " + std::to_string(setting.rate) + " Hz";
}

// Runs `in` through the processor into `out` and, without the guard, into
// `unguarded`; answers the largest filtered sample without the guard.
float processWithAndWithout(const GuardGrid& grid, const WobbleSetting& setting, double tempo, StereoBuffer& in,
                            StereoBuffer& out, StereoBuffer& unguarded) {
    if (grid.judge == GuardGrid::Judge::model) {
        WobbleAndModel pair(setting);
        pair.processBoth(in, out, unguarded, 0.0, tempo);
        return pair.model.filteredPeak;
    }
    // The processor itself, its guard's measure of the input held at
    // infinity: every other bit as the model's (processor_reference_test).
    Wobble guarded, free;
    setting.applyTo(guarded);
    setting.applyTo(free);
    free.input1.peak = free.input2.peak = std::numeric_limits<float>::infinity();
    const auto frames = static_cast<std::int32_t>(in.frames());
    const auto transport = [&] { return SongPosition{0.0, tempo}; };
    guarded.process(in.data(), out.data(), frames, setting.rate, transport);
    free.process(in.data(), unguarded.data(), frames, setting.rate, transport);
    return peakOf(unguarded);  // at full mix the output is the filtered signal
}

}  // namespace

GuardGridResult scanGuardGrid(const GuardGrid& grid, unsigned threads) {
    const float rates[] = {44100.0f, 48000.0f, 96000.0f};
    std::vector<StereoBuffer> inputs;
    for (std::uint32_t r = 0; r < 3; ++r) {
        const auto frames = [&](float seconds) { return static_cast<std::size_t>(rates[r] * seconds); };
        inputs.push_back(burstThenSilence(frames(grid.noiseSeconds), frames(grid.silenceSeconds), r + 1));
    }
    std::vector<WobbleSetting> settings;
    std::vector<double> tempi;
    for (std::int32_t period = 0; period < 12; ++period)
        for (const float q : grid.qs)
            for (const float freq1 : grid.frequencies)
                for (const float freq2 : grid.frequencies)
                    for (const double tempo : grid.tempi) {
                        settings.push_back({rates[settings.size() % 3], period, freq1, freq2, q, 1.0f});
                        tempi.push_back(tempo);
                    }

    GuardGridResult result;
    std::mutex lock;
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        std::vector<StereoBuffer> ins = inputs, outs, unguardeds;
        for (const StereoBuffer& in : inputs) {
            outs.emplace_back(in.frames());
            unguardeds.emplace_back(in.frames());
        }
        for (std::size_t i; (i = next.fetch_add(1)) < settings.size();) {
            const std::size_t r = i % 3;
            StereoBuffer& in = ins[r];
            const float filteredPeak = processWithAndWithout(grid, settings[i], tempi[i], in, outs[r], unguardeds[r]);
            const bool same =
                sameBits(outs[r].left, unguardeds[r].left) && sameBits(outs[r].right, unguardeds[r].right);
            const float inputPeak = peakOf(in);
            const float ratio = peakOf(outs[r]) / inputPeak;
            const bool runaway = !(filteredPeak < kRunawayGain * inputPeak);
            std::lock_guard<std::mutex> hold(lock);
            ++result.settings;
            result.runaways += runaway ? 1 : 0;
            result.worstRatio = std::max(result.worstRatio, ratio);
            if (result.failure.empty() && ratio > kRunawayGain)
                result.failure =
                    describe(settings[i], tempi[i]) + ": peak " + std::to_string(ratio) + " times the input's";
            if (result.failure.empty() && !runaway && !same)
                result.failure = describe(settings[i], tempi[i]) + ": bits differ, though it never ran away";
        }
    };
    std::vector<std::thread> workers(std::max(1u, threads));
    for (auto& w : workers) w = std::thread(work);
    for (auto& w : workers) w.join();
    return result;
}
