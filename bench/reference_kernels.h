// Two yardsticks for the processor's cost, written for the benchmarks only.
//
// The floor is the per-sample mathematics that the wobble cannot avoid: one
// fmodf of the position, the two sinf of the sweep and the sinf/cosf pair of
// the coefficients, chained as in the processor (each result feeds the next
// argument, in the same range) with the cheapest glue between them.
//
// The stereo biquad is a plain second-order section per channel with fixed
// coefficients: the cost of filtering alone.
#pragma once

#include <cmath>
#include <cstdint>

struct FloorKernel {
    float period = 1.0f / 3.0f;
    float omegaScale = 0.0f;  // radians per sample per unit of sweep
    float omegaTop = 0.0f;

    FloorKernel(float periodLength, float sampleRate, float freq1, float freq2)
        : period(periodLength),
          omegaScale((freq2 - freq1) * 6.2831855f / sampleRate),
          omegaTop(freq2 * 6.2831855f / sampleRate) {}

    void run(double position, double step, const float* const* inputs, float* const* outputs,
             std::int32_t frames) const {
        const float inversePeriod = 1.0f / period;
        for (std::int32_t i = 0; i < frames; ++i) {
            const float pos = static_cast<float>(static_cast<double>(i) * step + position);
            const float h = fmodf(pos, period) * inversePeriod;
            const float t = h > 0.5f ? 1.0f - h : h;
            const float o = sinf(t * 3.1415927f);
            const float k = sinf(o * 1.3962634f);
            const float w = omegaTop - k * omegaScale;
            // The inputs join in so the work per frame matches a processor's.
            outputs[0][i] = sinf(w) * inputs[0][i];
            outputs[1][i] = cosf(w) * inputs[1][i];
        }
    }
};

struct StereoBiquad {
    // A 1 kHz low-pass at 48 kHz, Q 0.707, normalised by a0.
    float b0 = 0.003916127f, b1 = 0.007832254f, b2 = 0.003916127f;
    float a1 = -1.8153396f, a2 = 0.83100409f;
    float x1[2] = {}, x2[2] = {}, y1[2] = {}, y2[2] = {};

    void run(const float* const* inputs, float* const* outputs, std::int32_t frames) {
        for (int c = 0; c < 2; ++c) {
            const float* in = inputs[c];
            float* out = outputs[c];
            float sx1 = x1[c], sx2 = x2[c], sy1 = y1[c], sy2 = y2[c];
            for (std::int32_t i = 0; i < frames; ++i) {
                const float x = in[i];
                const float y = ((b0 * x + b1 * sx1) + b2 * sx2) - a1 * sy1 - a2 * sy2;
                sx2 = sx1;
                sx1 = x;
                sy2 = sy1;
                sy1 = y;
                out[i] = y;
            }
            x1[c] = sx1;
            x2[c] = sx2;
            y1[c] = sy1;
            y2[c] = sy2;
        }
    }
};
