// Feeding a plug-in test signals and judging what comes out.
#pragma once

#include <cstdint>
#include <string>

#include "catalogue.h"
#include "plugin_under_test.h"
#include "test_signals.h"

namespace vsthost::validate {

constexpr float kNoiseAmplitude = 0.5f;
// 60 dB above the loudest test input: a plug-in beyond it has blown up.
constexpr float kOutputBound = 1000.0f;

// Input and output buffers sized for the instance's channels.
struct BlockBuffers {
    BlockBuffers(const PluginUnderTest& plugin, std::int32_t frames);
    ChannelBuffers in;
    ChannelBuffers out;
};

// One block of fresh noise through the plug-in; the output goes into `scan`.
void processNoise(PluginUnderTest& plugin, BlockBuffers& io, SeededRandom& random, std::int32_t frames,
                  SignalScan& scan);

// What the output must be. Plain signals must come out finite, free of
// subnormals and bounded; under parameter settings a plug-in may
// legitimately apply a huge gain, so there only finiteness is asked.
struct OutputDemands {
    bool bounded = true;
    bool noSubnormals = true;
    Verdict nonFinite = Verdict::fail;
};

constexpr OutputDemands kPlainSignal{};
constexpr OutputDemands kOnlyFinite{false, false, Verdict::fail};

// Non-finite output and output beyond the bound fail (or get the demanded
// verdict); subnormal output fails from strictness 4 and warns below.
// Otherwise a pass that says `what` was checked, with the peak.
Outcome judgeOutput(const SignalScan& scan, const CheckContext& context, const std::string& what,
                    const OutputDemands& demands = kPlainSignal);

}  // namespace vsthost::validate
