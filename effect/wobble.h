// The wobble itself, free of any plug-in format: its five settings, the two
// channels' filters, and the processor that sweeps them with the song. A
// binding hands it the audio, the sample rate and the host's transport.
#pragma once

#include <cstdint>

#include "biquad.h"
#include "runaway_guard.h"
#include "sweep.h"
#include "sweep_steps.h"

// Where the song is at a block's first sample.
struct SongPosition {
    double position;  // quarter notes
    double tempo;     // beats per minute
};

class Wobble {
public:
    // Picks the vector steps where this machine runs them as the library
    // would, else the scalar ones.
    Wobble();

    // Replaces `frames` samples of both outputs (inputs and outputs may be
    // the same arrays). The period is read once per block, before the
    // transport is asked for (`askTransport()` gives a SongPosition, and is
    // called also when there are no frames). freq1, freq2, q and the sample
    // rate are read afresh for every sample (the samples of a batch of up to
    // kBatch read them together, before the first of them is filtered), and
    // mix for every sample of each channel: a setting written during a block
    // takes effect from the next sample that reads it.
    template <typename AskTransport>
    void process(const float* const* inputs, float* const* outputs, std::int32_t frames, const float& sampleRate,
                 AskTransport&& askTransport) {
        const float period = periodLength(periodIndex);
        processBlock(inputs, outputs, frames, sampleRate, period, askTransport());
    }

    SweepSteps steps() const { return sweepSteps; }
    // The scalar steps anywhere, the vector ones only where
    // vectorStepsAvailable(); answers whether they are in use. Tests and
    // benchmarks choose with it, and the LV2 plug-in keeps its choice when it
    // makes its wobble afresh.
    bool useSteps(SweepSteps steps);

    // The working values, in this order.
    std::int32_t periodIndex = 6;  // into periodDivisors
    float freq1 = 500.0f;          // Hz at mid-period
    float freq2 = 20000.0f;        // Hz at each period's start
    float mix = 1.0f;              // share of the filtered signal
    float q = 1.414f;
    BiquadState filter1 = passThrough;  // channel 0
    BiquadState filter2 = passThrough;  // channel 1
    RecentLevel input1;                 // the runaway guard's measure of each input
    RecentLevel input2;

private:
    void processBlock(const float* const* inputs, float* const* outputs, std::int32_t frames, const float& sampleRate,
                      float period, SongPosition transport);

    SweepSteps sweepSteps;
};
