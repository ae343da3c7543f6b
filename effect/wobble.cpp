// The audio processor: once per block the host's position and tempo, then
// per sample a phase, a cut-off, fresh coefficients and one filter step per
// channel.
//
// The samples go through these steps a batch at a time, one step over the
// whole batch before the next. One sample at a time, each waits on a chain of
// ten dependent divisions and four library calls; a step over a batch of
// independent samples keeps the processor busy and lets the divisions run
// four at a time. Every sample still gets exactly the operations, and so the
// bits, of the one-at-a-time order.
#include <algorithm>
#include <cmath>

#include "frame/opcodes.h"
#include "subnormal_flush.h"
#include "sweep.h"
#include "tolvane_vst.h"

namespace {

struct Transport {
    double position;  // quarter notes at the block's first sample
    double tempo;     // beats per minute
};

// A missing answer, a cleared flag or a value that is not finite all mean the
// same to the sweep: the start of the song at 120 beats per minute.
Transport readTransport(const VstTimeInfo* time) {
    Transport transport{0.0, 120.0};
    if (time == nullptr) return transport;
    if ((time->flags & kVstPpqPosValid) != 0 && std::isfinite(time->ppqPos)) transport.position = time->ppqPos;
    if ((time->flags & kVstTempoValid) != 0 && std::isfinite(time->tempo)) transport.tempo = time->tempo;
    return transport;
}

// The host may write a parameter from another thread during a block; every
// sample reads the field from memory, so the change applies from the next
// sample that reads it.
template <typename T>
T readFresh(const T& field) {
    return *static_cast<const volatile T*>(&field);
}

constexpr std::int32_t kBatch = 16;

// One value per sample of a batch, step by step. The arithmetic steps run
// over the whole batch (a fixed count vectorises); lanes past the end of a
// short batch repeat the first sample, so they compute nothing new.
struct Batch {
    float freq1[kBatch];
    float freq2[kBatch];
    float q[kBatch];
    float rate[kBatch];
    float value[kBatch];  // remainder, then each angle in turn
    float sine[kBatch];
    float cosine[kBatch];
    float b0[kBatch];  // the quotients of the coefficients by a0; b2 equals b0
    float b1[kBatch];
    float a1[kBatch];
    float a2[kBatch];
};

}  // namespace

void TolvaneVST::processReplacing(float** inputs, float** outputs, std::int32_t sampleFrames) {
    const float period = periodLength(periodIndex);
    Transport transport = readTransport(getTimeInfo(kVstPpqPosValid | kVstTempoValid));
    double step = quarterNotesPerSample(sampleRate, transport.tempo);
    if (sweepTooFast(step, period)) {
        step = 0.0;
        transport.position = 0.0;
    }
    if (sampleFrames < 1) return;

    const SubnormalFlush flush;
    const float sin80 = sinf(kEightyDegrees);
    const float* const in0 = inputs[0];
    const float* const in1 = inputs[1];
    float* const out0 = outputs[0];
    float* const out1 = outputs[1];
    // The histories live in registers for the block; nothing else reads them meanwhile.
    BiquadState left = filter1;
    BiquadState right = filter2;

    Batch s;
    // The remainder of a sample's position, and fresh reads of the parameters.
    const auto gather = [&](std::int32_t first, std::int32_t j) {
        s.value[j] = fmodf(positionAt(first + j, step, transport.position), period);
        s.freq1[j] = readFresh(freq1);
        s.freq2[j] = readFresh(freq2);
        s.q[j] = readFresh(q);
        s.rate[j] = readFresh(sampleRate);
    };
    const auto filter = [&](std::int32_t first, std::int32_t j) {
        const BiquadQuotients k{s.b0[j], s.b1[j], s.b0[j], s.a1[j], s.a2[j]};
        const std::int32_t i = first + j;

        const float x0 = in0[i];
        const float y0 = biquadStep(left, k, x0);
        out0[i] = (1.0f - mix) * x0 + mix * y0;

        const float x1 = in1[i];
        const float y1 = biquadStep(right, k, x1);
        out1[i] = (1.0f - mix) * x1 + mix * y1;
    };

    std::int32_t count = std::min(kBatch, sampleFrames);
    for (std::int32_t j = 0; j < count; ++j) gather(0, j);
    std::int32_t last = 0;
    for (std::int32_t first = 0; first < sampleFrames; first += kBatch) {
        for (std::int32_t j = count; j < kBatch; ++j) {
            s.value[j] = s.value[0];
            s.freq1[j] = s.freq1[0];
            s.freq2[j] = s.freq2[0];
            s.q[j] = s.q[0];
            s.rate[j] = s.rate[0];
        }

        for (std::int32_t j = 0; j < kBatch; ++j) s.value[j] = archAngle(phaseOfRemainder(s.value[j], period));
        for (std::int32_t j = 0; j < count; ++j) s.value[j] = sinf(s.value[j]);
        for (std::int32_t j = 0; j < kBatch; ++j) s.value[j] = flattenAngle(s.value[j]);
        for (std::int32_t j = 0; j < count; ++j) s.value[j] = sinf(s.value[j]);
        for (std::int32_t j = 0; j < kBatch; ++j)
            s.value[j] = angleAt(cutoffOmega(s.value[j] / sin80, s.freq1[j], s.freq2[j]), s.rate[j]);
        for (std::int32_t j = 0; j < count; ++j) {
            s.sine[j] = sinf(s.value[j]);
            s.cosine[j] = cosf(s.value[j]);
        }
        for (std::int32_t j = count; j < kBatch; ++j) {
            s.sine[j] = s.sine[0];
            s.cosine[j] = s.cosine[0];
        }
        for (std::int32_t j = 0; j < kBatch; ++j) {
            const LowpassCoefficients c = lowpassFromSinCos(s.sine[j], s.cosine[j], s.q[j]);
            s.b0[j] = c.b0 / c.a0;
            s.b1[j] = c.b1 / c.a0;
            s.a1[j] = c.a1 / c.a0;
            s.a2[j] = c.a2 / c.a0;
        }

        // The filter steps of this batch run beside the remainders of the
        // next: the one waits on its own history, the other on its branches,
        // and each fills the other's gaps.
        const std::int32_t next = first + kBatch;
        const std::int32_t nextCount = next < sampleFrames ? std::min(kBatch, sampleFrames - next) : 0;
        for (std::int32_t j = 0; j < count; ++j) {
            filter(first, j);
            if (j < nextCount) gather(next, j);
        }
        last = count - 1;
        count = nextCount;
    }

    // Both filters always hold the coefficients of the last sample processed.
    const LowpassCoefficients c = lowpassFromSinCos(s.sine[last], s.cosine[last], s.q[last]);
    filter1 = left;
    filter2 = right;
    storeCoefficients(filter1, c);
    storeCoefficients(filter2, c);
}
