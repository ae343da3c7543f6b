// The processor: once per block the sweep's clock, then the samples a batch
// at a time. The sweep's steps take each batch from positions to
// coefficients (sweep_steps.h), then each channel's filter runs through it
// sample by sample, the one step that must run in order. Every sample gets
// exactly the operations, and so the bits, of the one-at-a-time order.
#include "wobble.h"

#include <algorithm>
#include <cmath>

#include "filter_steps.h"
#include "fresh_read.h"
#include "subnormal_flush.h"
#include "vector_support.h"

namespace {

void filterAndMix(ChannelRun& c, const BiquadQuotients& k, std::int32_t i, const float& mix) {
    const float x = c.in[i];
    const float y = guardedStep(c.filter, k, x, c.level);
    const float wet = readFresh(mix);
    c.out[i] = (1.0f - wet) * x + wet * y;
}

}  // namespace

// Channel 0 before channel 1, each channel's input before its output.
void filterScalar(const SweepBatch& batch, std::int32_t first, std::int32_t count, ChannelRun& left, ChannelRun& right,
                  const float& mix) {
    for (std::int32_t j = 0; j < count; ++j) {
        const BiquadQuotients k{batch.b0[j], batch.b1[j], batch.b0[j], batch.a1[j], batch.a2[j]};
        filterAndMix(left, k, first + j, mix);
        filterAndMix(right, k, first + j, mix);
    }
}

Wobble::Wobble() : sweepSteps(vectorStepsAvailable() ? SweepSteps::avx2 : SweepSteps::scalar) {}

bool Wobble::useSteps(SweepSteps steps) {
    if (steps == SweepSteps::avx2 && !vectorStepsAvailable()) return false;
    sweepSteps = steps;
    return true;
}

void Wobble::processBlock(const float* const* inputs, float* const* outputs, std::int32_t frames,
                          const float& sampleRate, float period, SongPosition transport) {
    double step = quarterNotesPerSample(sampleRate, transport.tempo);
    if (sweepTooFast(step, period)) {
        step = 0.0;
        transport.position = 0.0;
    }
    if (frames < 1) return;

    const SubnormalFlush flush;
    const SweepClock clock{transport.position, step, period, sinf(kEightyDegrees)};
    const LiveFields live{&freq1, &freq2, &q, &sampleRate};
    ChannelRun left{inputs[0], outputs[0], filter1, input1};
    ChannelRun right{inputs[1], outputs[1], filter2, input2};
#if defined(DRAVELKINT_AVX2_STEPS)
    const bool vector = sweepSteps == SweepSteps::avx2;
    // Both channels in one vector read channel 1's input before writing
    // channel 0's output: not where the one is the other.
    const bool pairedFilter = vector && outputs[0] != inputs[1];
#endif

    SweepBatch batch;
    std::int32_t count = 0;
    for (std::int32_t first = 0; first < frames; first += kBatch) {
        count = std::min(kBatch, frames - first);
#if defined(DRAVELKINT_AVX2_STEPS)
        if (vector) {
            sweepAvx2(batch, clock, live, first, count);
            if (pairedFilter)
                filterAvx2(batch, first, count, left, right, mix);
            else
                filterScalar(batch, first, count, left, right, mix);
            continue;
        }
#endif
        sweepScalar(batch, clock, live, first, count);
        filterScalar(batch, first, count, left, right, mix);
    }

    // Both filters always hold the coefficients of the last sample processed.
    const std::int32_t last = count - 1;
    const LowpassCoefficients c = lowpassFromSinCos(batch.sine[last], batch.cosine[last], batch.q[last]);
    filter1 = left.filter;
    filter2 = right.filter;
    storeCoefficients(filter1, c);
    storeCoefficients(filter2, c);
    input1 = left.level;
    input2 = right.level;
}
