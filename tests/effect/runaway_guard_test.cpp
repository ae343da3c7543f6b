// The runaway guard: no setting gets louder than 40 dB above its input,
// every setting that stays below that without the guard keeps every bit,
// and neither a ring-out nor a non-finite sample fools it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>

#include "runaway_guard_grid.h"
#include "support/plugin_instance.h"
#include "support/wobble_setting.h"

namespace {

// A coarse grid, long enough for the fast runaways to show (the exhaustive
// label has a finer one).
TEST(RunawayGuard, GridOfSettings) {
    const GuardGrid grid{GuardGrid::Judge::processorWithoutGuard,
                         {0.14f, 14.14f},
                         {20.0f, 60.0f, 1000.0f, 20000.0f},
                         {60.0, 200.0},
                         0.75f,
                         0.25f};
    const GuardGridResult result = scanGuardGrid(grid, 1);
    EXPECT_TRUE(result.failure.empty()) << result.failure;
    EXPECT_GT(result.runaways, 0);  // the guard is what keeps the bound
    std::printf("%d settings, %d runaways cut off, worst peak %.2f times the input's\n", result.settings,
                result.runaways, static_cast<double>(result.worstRatio));
}

TEST(RunawayGuard, TheExampleSettingStaysWithin40dB) {
    // 174 BPM, 1/48 notes, Q 14.14 between 40 and 20 Hz: without the guard
    // the filter is pumped 30 times higher every second.
    const WobbleSetting setting{44100.0f, 10, 40.0f, 20.0f, 14.14f, 1.0f};
    WobbleAndModel pair(setting);
    StereoBuffer in = noise(3 * 44100, 2), out(in.frames()), expected(in.frames());
    pair.processBoth(in, out, expected, 0.0, 174.0);
    EXPECT_GT(peakOf(expected), 1.0e4f);
    EXPECT_LE(peakOf(out), kRunawayGain * peakOf(in));
}

TEST(RunawayGuard, ASlowRingOutNeverTripsIt) {
    // A 20 Hz sine at 192 kHz into Q 14.14 held at 20 Hz rings near 14 times
    // its input and then decays for a second, the slowest ring in range. A
    // recent level that fell faster than that ring would cut it off.
    const WobbleSetting setting{192000.0f, 0, 20.0f, 20.0f, 14.14f, 1.0f};
    WobbleAndModel pair(setting);
    StereoBuffer in = burstThenSilence(192000, 192000, 3);
    for (std::size_t i = 0; i < 192000; ++i)
        in.left[i] = in.right[i] = static_cast<float>(std::sin(2.0 * 3.141592653589793 * 20.0 * i / 192000.0));
    StereoBuffer out(in.frames()), expected(in.frames());
    EXPECT_TRUE(pair.processBoth(in, out, expected, 0.0, 120.0));
    EXPECT_GT(peakOf(expected), 5.0f);  // it did ring
    float lastCycle = 0.0f;             // and still rings in the last cycle
    for (std::size_t i = in.frames() - 9600; i < in.frames(); ++i)
        lastCycle = std::max(lastCycle, std::fabs(expected.left[i]));
    EXPECT_GT(lastCycle, 0.01f);
}

TEST(RunawayGuard, ANonFiniteSampleDoesNotLiftTheBound) {
    const float inf = std::numeric_limits<float>::infinity();
    for (const float bad : {inf, -inf, std::numeric_limits<float>::quiet_NaN()}) {
        const WobbleSetting setting{44100.0f, 10, 40.0f, 20.0f, 14.14f, 1.0f};
        WobbleAndModel pair(setting);
        StereoBuffer in = noise(44100, 4), out(in.frames()), expected(in.frames());
        in.left[10] = in.right[10] = bad;
        pair.processBoth(in, out, expected, 0.0, 174.0);
        float later = 0.0f;
        for (std::size_t i = 11; i < out.frames(); ++i) later = std::max(later, std::fabs(out.left[i]));
        EXPECT_LE(later, kRunawayGain) << bad;  // the input's finite peak is below 1
    }
}

}  // namespace
