// The guard that keeps a pumped filter from reaching the listener. A
// coefficient set that changes fast at a low, sharply resonant cut-off can
// pump the filter into a runaway that grows without bound, and a non-finite
// input would ring on for ever. The guard follows the recent level of each
// channel's input and starts the filter afresh as soon as its output exceeds
// that level by more than 40 dB.
#pragma once

#include <cmath>
#include <limits>

#include "biquad.h"

// 40 dB: a sharply resonant filter rings at about Q times its input, and Q
// ends at 14.14, so only a runaway gets this far.
inline constexpr float kRunawayGain = 100.0f;

// The recent level falls by one part in 2^23 per sample (40 dB in about 39
// million samples). The slowest ring any setting leaves, at the lowest
// angle the cut-off is held to and the highest Q, falls by 1e-5 / 28.28, a
// part in 2.8 million per sample: three times faster. So a stable filter's
// ring-out only ever moves further below the bound.
inline constexpr float kLevelFall = 1.0f - 0x1p-23f;

struct RecentLevel {
    float peak = 0.0f;
};

// The larger of the sample's size and the fallen peak; a sample that is not
// finite is no level, so it cannot lift the bound for ever.
inline void follow(RecentLevel& level, float x) {
    const float fallen = level.peak * kLevelFall;
    const float size = std::fabs(x);
    level.peak = size > fallen && size <= std::numeric_limits<float>::max() ? size : fallen;
}

// One filter step under the guard. A step beyond the bound (or not a number)
// clears the history and silences the filtered share of this sample; the
// dry share still passes, so an input sample that is not finite comes out
// not finite (NaN at full mix), for that one sample.
inline float guardedStep(BiquadState& s, const BiquadQuotients& k, float x, RecentLevel& level) {
    follow(level, x);
    const float y = biquadStep(s, k, x);
    if (!(std::fabs(y) <= level.peak * kRunawayGain)) {
        s.x1 = s.x2 = s.y1 = s.y2 = 0.0f;
        return std::isnan(x) ? x : 0.0f;  // a NaN passes on as the filtered share too
    }
    return y;
}
