// The filter step over a batch: each channel's recursion under the runaway
// guard and the mix of dry and filtered sample, one sample after another,
// the one step that must run in order. Two builds give the same bits: the
// scalar one, and one in AVX2 that runs both channels in one vector.
#pragma once

#include <cstdint>

#include "biquad.h"
#include "runaway_guard.h"
#include "sweep_steps.h"

// One channel for the length of a block: its filter and its input's level
// live here, in registers; nothing else reads them meanwhile.
struct ChannelRun {
    const float* in;
    float* out;
    BiquadState filter;
    RecentLevel level;
};

// Samples first to first + count - 1, with the batch's coefficients from
// lane 0 on. Both reads of a channel's input sample come before the write of
// its output, so a host may process in place.
void filterScalar(const SweepBatch& batch, std::int32_t first, std::int32_t count, ChannelRun& left, ChannelRun& right,
                  const float& mix);

// The same with both channels in one vector, so both inputs of a sample are
// read before either output is written: only where channel 0's output is
// not channel 1's input. Call only where vectorStepsAvailable() says so.
void filterAvx2(const SweepBatch& batch, std::int32_t first, std::int32_t count, ChannelRun& left, ChannelRun& right,
                const float& mix);
