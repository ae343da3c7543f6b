// The modulation: a phase derived from the host's musical position, bent
// into a sweep between the two cut-off frequencies.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>

#include "effect/musical_time.h"

// Note divisions of a whole note that the Period parameter chooses from.
inline constexpr std::array<std::int32_t, 12> periodDivisors{1, 2, 3, 4, 6, 8, 12, 16, 24, 32, 48, 64};

inline constexpr double kPi = 3.141592653589793;
inline constexpr float kTwoPi = 6.2831855f;
inline constexpr float kEightyDegrees = 1.3962634f;

// Sweep period in quarter notes, single precision (so 1/12 is a little over a third).
inline float periodLength(std::int32_t periodIndex) {
    return 4.0f / static_cast<float>(periodDivisors[static_cast<std::size_t>(periodIndex)]);
}

// A period shorter than this many samples is audio-rate modulation, which
// pumps a resonant filter into a runaway whatever its cut-offs, and every jump
// of the host's position between blocks kicks it further. At such tempos the
// sweep stands still at its start. At 44.1 kHz that takes 1/64 notes above
// 2500 BPM.
inline constexpr double kShortestPeriodSamples = 64.0;

inline bool sweepTooFast(double step, float period) {
    return !(std::fabs(step) * kShortestPeriodSamples <= static_cast<double>(period));
}

// Computed from the index at every sample, never accumulated, then rounded to single.
inline float positionAt(std::int32_t i, double step, double start) {
    return static_cast<float>(static_cast<double>(i) * step + start);
}

// Phase within the period, in [0, 1]. A negative position continues the
// period backwards (fmodf keeps the dividend's sign), and a position beyond
// single range carries no phase.
inline float phaseOfRemainder(float r, float period) {
    if (r < 0.0f) r = r + period;
    const float h = r / period;
    return std::isnan(h) ? 0.0f : h;
}

inline float phaseAt(float position, float period) { return phaseOfRemainder(fmodf(position, period), period); }

// 0 at the period start, 1 at mid-period: a triangle bent into a sine arch,
// then flattened near its top by a sine over 0 to 80 degrees.
inline float archAngle(float h) {
    const float t = h > 0.5f ? 1.0f - h : h;
    return static_cast<float>(static_cast<double>(t) * kPi);
}

inline float flattenAngle(float archHeight) { return static_cast<float>(static_cast<double>(archHeight) * kPi / 2.25); }

inline float sweepAmount(float h, float sin80) { return sinf(flattenAngle(sinf(archAngle(h)))) / sin80; }

// Angular cut-off in radians per second: freq2 at k = 0, freq1 at k = 1.
inline float cutoffOmega(float k, float freq1, float freq2) {
    const float span = freq2 - freq1;
    const float m = k * span;
    return (freq2 - m) * kTwoPi;
}

// The filter is stable only for 0 < w < pi. The bounds keep it there at any
// sample rate and leave every cut-off from 0.5 Hz to 20 kHz at 44.1 kHz and
// above untouched.
inline constexpr float kMinAngle = 1.0e-5f;
inline constexpr float kMaxAngle = 2.98f;  // 0.95 pi

inline float angleAt(float omega, float sampleRate) {
    const float w = omega / sampleRate;
    return w < kMinAngle ? kMinAngle : (w > kMaxAngle ? kMaxAngle : w);
}
