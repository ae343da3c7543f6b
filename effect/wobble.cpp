// The audio processor: once per block the host's position and tempo, then
// per sample a phase, a cut-off, fresh coefficients and one filter step per
// channel.
#include <cmath>

#include "frame/opcodes.h"
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

}  // namespace

void TolvaneVST::processReplacing(float** inputs, float** outputs, std::int32_t sampleFrames) {
    const float period = periodLength(periodIndex);
    const Transport transport = readTransport(getTimeInfo(kVstPpqPosValid | kVstTempoValid));
    const double step = quarterNotesPerSample(sampleRate, transport.tempo);
    if (sampleFrames < 1) return;

    const float sin80 = sinf(kEightyDegrees);
    const float* const in0 = inputs[0];
    const float* const in1 = inputs[1];
    float* const out0 = outputs[0];
    float* const out1 = outputs[1];

    LowpassCoefficients c{};
    for (std::int32_t i = 0; i < sampleFrames; ++i) {
        const float h = phaseAt(positionAt(i, step, transport.position), period);
        const float omega = cutoffOmega(sweepAmount(h, sin80), freq1, freq2);
        c = lowpassCoefficients(angleAt(omega, sampleRate), q);
        const BiquadQuotients k = quotients(c);

        const float x0 = in0[i];
        const float y0 = biquadStep(filter1, k, x0);
        out0[i] = (1.0f - mix) * x0 + mix * y0;

        const float x1 = in1[i];
        const float y1 = biquadStep(filter2, k, x1);
        out1[i] = (1.0f - mix) * x1 + mix * y1;
    }
    // Both filters always hold the coefficients of the last sample processed.
    storeCoefficients(filter1, c);
    storeCoefficients(filter2, c);
}
