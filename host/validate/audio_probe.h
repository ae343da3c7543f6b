// Feeding a plug-in test signals and judging what comes out.
#pragma once

#include <cstdint>
#include <string>

#include "catalogue.h"
#include "channel_buffers.h"
#include "plugin_under_test.h"

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

// Non-finite output and output beyond the bound fail (or get `nonFinite`);
// subnormal output fails from strictness 4 and warns below. Otherwise a
// pass that says `what` was checked, with the peak.
Outcome judgeOutput(const SignalScan& scan, const CheckContext& context, const std::string& what,
                    Verdict nonFinite = Verdict::fail);

}  // namespace vsthost::validate
