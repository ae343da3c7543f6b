// The sweep's steps one sample after another, with the C library's fmodf,
// sinf and cosf: the build for processors without AVX2 and FMA, and the
// yardstick of the vector one. Each step runs over a run of samples before
// the next, so the library calls of different samples overlap, and the
// arithmetic steps run over a fixed count of lanes, which the compiler
// vectorises: lanes past the last sample repeat the first sample's value
// after each library step, and are never used.
#include <algorithm>
#include <cmath>

#include "biquad.h"
#include "fresh_read.h"
#include "sweep.h"
#include "sweep_steps.h"

namespace {

constexpr std::int32_t kRun = 16;

// One value per sample of a run, and the fields each sample read.
struct Lanes {
    std::int32_t count;
    float value[kRun];  // the remainder, then each angle in turn
    float freq1[kRun];
    float freq2[kRun];
    float rate[kRun];
    float q[kRun];
    float sine[kRun];
    float cosine[kRun];
};

void padFrom(float* values, std::int32_t count) { std::fill(values + count, values + kRun, values[0]); }

// The remainder of each sample's position, and its fresh reads of the fields.
void remainders(Lanes& s, const SweepClock& clock, const LiveFields& live, std::int32_t first) {
    for (std::int32_t j = 0; j < s.count; ++j) {
        s.value[j] = fmodf(positionAt(first + j, clock.step, clock.start), clock.period);
        s.freq1[j] = readFresh(*live.freq1);
        s.freq2[j] = readFresh(*live.freq2);
        s.q[j] = readFresh(*live.q);
        s.rate[j] = readFresh(*live.sampleRate);
    }
    for (float* values : {s.value, s.freq1, s.freq2, s.q, s.rate}) padFrom(values, s.count);
}

void phaseAndArch(Lanes& s, float period) {
    for (std::int32_t j = 0; j < kRun; ++j) s.value[j] = archAngle(phaseOfRemainder(s.value[j], period));
}

void sines(Lanes& s) {
    for (std::int32_t j = 0; j < s.count; ++j) s.value[j] = sinf(s.value[j]);
    padFrom(s.value, s.count);
}

void flatten(Lanes& s) {
    for (std::int32_t j = 0; j < kRun; ++j) s.value[j] = flattenAngle(s.value[j]);
}

void cutoff(Lanes& s, float sin80) {
    for (std::int32_t j = 0; j < kRun; ++j)
        s.value[j] = angleAt(cutoffOmega(s.value[j] / sin80, s.freq1[j], s.freq2[j]), s.rate[j]);
}

void coefficients(Lanes& s, SweepBatch& batch, std::int32_t first) {
    for (std::int32_t j = 0; j < s.count; ++j) {
        s.sine[j] = sinf(s.value[j]);
        s.cosine[j] = cosf(s.value[j]);
    }
    padFrom(s.sine, s.count);
    padFrom(s.cosine, s.count);
    float b0[kRun], b1[kRun], a1[kRun], a2[kRun];
    for (std::int32_t j = 0; j < kRun; ++j) {
        const LowpassCoefficients c = lowpassFromSinCos(s.sine[j], s.cosine[j], s.q[j]);
        b0[j] = c.b0 / c.a0;
        b1[j] = c.b1 / c.a0;
        a1[j] = c.a1 / c.a0;
        a2[j] = c.a2 / c.a0;
    }
    const auto keep = [&](float* to, const float* from) { std::copy(from, from + s.count, to + first); };
    keep(batch.b0, b0);
    keep(batch.b1, b1);
    keep(batch.a1, a1);
    keep(batch.a2, a2);
    keep(batch.sine, s.sine);
    keep(batch.cosine, s.cosine);
    keep(batch.q, s.q);
}

}  // namespace

void sweepScalar(SweepBatch& batch, const SweepClock& clock, const LiveFields& live, std::int32_t first,
                 std::int32_t count) {
    for (std::int32_t run = 0; run < count; run += kRun) {
        Lanes s;
        s.count = std::min(kRun, count - run);
        remainders(s, clock, live, first + run);
        phaseAndArch(s, clock.period);
        sines(s);
        flatten(s);
        sines(s);
        cutoff(s, clock.sin80);
        coefficients(s, batch, run);
    }
}
