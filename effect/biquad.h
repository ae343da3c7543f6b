// The resonant low-pass of each channel: a biquad whose coefficients are
// recomputed at every sample. Every operation is rounded to single on its own.
#pragma once

#include <cmath>

struct BiquadState {
    float a0, a1, a2, b0, b1, b2;
    float y1, y2, x1, x2;
};

constexpr BiquadState passThrough{1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};

struct LowpassCoefficients {
    float a0, a1, a2, b0, b1, b2;
};

// The cookbook low-pass from the sine and cosine of the cut-off w in radians
// per sample; a0 is not normalised to 1.
inline LowpassCoefficients lowpassFromSinCos(float sn, float cs, float q) {
    const float alpha = sn / (q + q);
    LowpassCoefficients c;
    c.a0 = alpha + 1.0f;
    c.a1 = cs * -2.0f;
    c.a2 = 1.0f - alpha;
    c.b1 = 1.0f - cs;
    c.b0 = c.b1 * 0.5f;
    c.b2 = c.b0;
    return c;
}

inline LowpassCoefficients lowpassCoefficients(float w, float q) { return lowpassFromSinCos(sinf(w), cosf(w), q); }

// Each coefficient divided by a0 on its own, once per sample for both channels.
struct BiquadQuotients {
    float b0, b1, b2, a1, a2;
};

inline BiquadQuotients quotients(const LowpassCoefficients& c) {
    return {c.b0 / c.a0, c.b1 / c.a0, c.b2 / c.a0, c.a1 / c.a0, c.a2 / c.a0};
}

inline void storeCoefficients(BiquadState& s, const LowpassCoefficients& c) {
    s.a0 = c.a0;
    s.a1 = c.a1;
    s.a2 = c.a2;
    s.b0 = c.b0;
    s.b1 = c.b1;
    s.b2 = c.b2;
}

// One step of the recursion; runaway_guard.h wraps it for the processor.
inline float biquadStep(BiquadState& s, const BiquadQuotients& k, float x) {
    const float y = ((k.b0 * x + k.b1 * s.x1) + k.b2 * s.x2) - k.a1 * s.y1 - k.a2 * s.y2;
    s.x2 = s.x1;
    s.x1 = x;
    s.y2 = s.y1;
    s.y1 = y;
    return y;
}
