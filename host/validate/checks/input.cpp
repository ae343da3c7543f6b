// Input a host should never pass on but sometimes does: subnormal numbers
// from an earlier plug-in's decaying tail, and NaN or infinity from one that
// blew up. A plug-in must survive both and, once its input is finite again,
// give finite output again. Hosts promise neither, so what goes wrong is a
// warning.
#include <cmath>
#include <limits>
#include <string>

#include "host/validate/audio_probe.h"
#include "host/validate/call_in_progress.h"
#include "host/validate/catalogue.h"
#include "host/validate/plugin_under_test.h"

namespace vsthost::validate {

namespace {

constexpr double kRate = 44100.0;
constexpr std::int32_t kBlock = 512;
constexpr int kSecond = 86;  // blocks

Outcome subnormalInput(CheckContext& context) {
    PluginUnderTest plugin(context);
    plugin.start(kRate, kBlock);
    BlockBuffers io(plugin, kBlock);
    SignalScan scan;
    for (int b = 0; b < 2 * kSecond; ++b) {
        // Noise scaled into the subnormal range, as a fading tail leaves it.
        fillNoise(io.in, context.random, 1.0f, kBlock);
        for (std::int32_t c = 0; c < io.in.channels(); ++c)
            for (std::int32_t i = 0; i < kBlock; ++i) io.in.channel(c)[i] *= std::numeric_limits<float>::min();
        plugin.process(io.in, io.out, kBlock);
        scan.add(io.out, kBlock);
    }
    return judgeOutput(scan, context, "2 s of subnormal noise", {true, false, Verdict::warn});
}

Outcome nonFiniteInput(CheckContext& context) {
    constexpr float kInf = std::numeric_limits<float>::infinity();
    constexpr float kNan = std::numeric_limits<float>::quiet_NaN();
    PluginUnderTest plugin(context);
    if (plugin.inputs() <= 0) return skipped("no audio inputs to send NaN through");
    plugin.start(kRate, kBlock);
    BlockBuffers io(plugin, kBlock);
    SignalScan ignored;
    for (int b = 0; b < 4; ++b) processNoise(plugin, io, context.random, kBlock, ignored);
    fillNoise(io.in, context.random, kNoiseAmplitude, kBlock);
    for (std::int32_t c = 0; c < io.in.channels(); ++c) {
        io.in.channel(c)[0] = kNan;
        io.in.channel(c)[kBlock / 3] = kInf;
        io.in.channel(c)[2 * kBlock / 3] = -kInf;
    }
    noteContext("after a block with NaN and infinite samples");
    plugin.process(io.in, io.out, kBlock);
    for (int b = 0; b < kSecond; ++b) processNoise(plugin, io, context.random, kBlock, ignored);
    // The second after: a filter may ring out the damage for a while, but not for ever.
    SignalScan after;
    for (int b = 0; b < kSecond; ++b) processNoise(plugin, io, context.random, kBlock, after);
    noteContext("");
    if (after.nonFinite > 0)
        return warned(std::to_string(after.nonFinite) +
                      " non-finite output samples in the second second after one block of NaN and infinite input, "
                      "though the input was finite again: one bad sample from upstream silences it for good");
    return passed("one block of NaN and infinite input, then noise: the output is finite again within a second");
}

}  // namespace

CheckGroup inputGroup() {
    return {"input",
            {
                {"input.subnormal", 4, "2 s of subnormal noise: output finite and bounded (a warning otherwise)",
                 subnormalInput, kMaxStrictness + 1, false, Formats::both},
                {"input.non-finite", 6,
                 "a block with NaN and infinite samples, then noise: the output finite again within a second (a "
                 "warning otherwise)",
                 nonFiniteInput, kMaxStrictness + 1, false, Formats::both},
            }};
}

}  // namespace vsthost::validate
