// What a plug-in says it offers besides plain processing, each checked where
// it is offered: double precision (effFlagsCanDoubleReplacing), its latency
// (initialDelay) against where an impulse really comes out, and bypass
// (effSetBypass answering 1).
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "frame/opcodes.h"
#include "host/text/counted.h"
#include "host/text/figures.h"
#include "host/validate/audio_probe.h"
#include "host/validate/catalogue.h"
#include "host/validate/findings.h"
#include "host/validate/plugin_under_test.h"

namespace vsthost::validate {

namespace {

constexpr double kRate = 44100.0;
constexpr std::int32_t kBlock = 512;
// Quieter than this is silence: 80 dB below full scale.
constexpr float kSilence = 1.0e-4f;

// Channel pointers `offset` frames into each buffer.
template <typename Sample>
std::vector<Sample*> at(std::vector<std::vector<Sample>>& buffers, std::int32_t offset) {
    std::vector<Sample*> pointers;
    for (auto& buffer : buffers) pointers.push_back(buffer.data() + offset);
    if (pointers.empty()) pointers.push_back(nullptr);
    return pointers;
}

template <typename Sample>
std::vector<std::vector<Sample>> channels(std::int32_t count, std::int32_t frames) {
    return std::vector<std::vector<Sample>>(static_cast<std::size_t>(std::max(count, 1)),
                                            std::vector<Sample>(static_cast<std::size_t>(frames)));
}

Outcome doublePrecision(CheckContext& context) {
    constexpr std::int32_t kFrames = 16384;
    PluginUnderTest wide(context);
    const AEffect& e = *wide.effect();
    if ((e.flags & effFlagsCanDoubleReplacing) == 0)
        return skipped(std::string("not offered: effFlagsCanDoubleReplacing is not set") +
                       (e.processDoubleReplacing != nullptr
                            ? " (the record has a processDoubleReplacing entry all the same; hosts go by the flag)"
                            : ""));
    if (e.processDoubleReplacing == nullptr) return skipped("no processDoubleReplacing entry (identity.entries)");
    PluginUnderTest narrow(context);
    wide.dispatch(effSetProcessPrecision, 0, 1);  // 64-bit samples
    wide.start(kRate, kBlock);
    narrow.start(kRate, kBlock);
    const std::int32_t ins = wide.inputs();
    const std::int32_t outs = wide.outputs();
    auto inFloat = channels<float>(ins, kFrames);
    auto inDouble = channels<double>(ins, kFrames);
    for (std::int32_t c = 0; c < ins; ++c)
        for (std::int32_t i = 0; i < kFrames; ++i) {
            const float x = context.random.uniform(-kNoiseAmplitude, kNoiseAmplitude);
            inFloat[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)] = x;
            inDouble[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)] = x;
        }
    auto outFloat = channels<float>(outs, kFrames);
    auto outDouble = channels<double>(outs, kFrames);
    for (std::int32_t offset = 0; offset < kFrames; offset += kBlock) {
        narrow.process(at(inFloat, offset).data(), at(outFloat, offset).data(), kBlock);
        wide.processDouble(at(inDouble, offset).data(), at(outDouble, offset).data(), kBlock);
    }
    ChannelBuffers asFloat(outs, kFrames);
    double largest = 0.0;
    std::int64_t where = 0;
    for (std::int32_t c = 0; c < outs; ++c)
        for (std::int32_t i = 0; i < kFrames; ++i) {
            const double d = outDouble[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)];
            const float f = outFloat[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)];
            asFloat.channel(c)[i] = static_cast<float>(d);
            const double gap = std::isfinite(d) && std::isfinite(f) ? std::fabs(d - f) : INFINITY;
            if (gap > largest) {
                largest = gap;
                where = i;
            }
        }
    SignalScan scan;
    scan.add(asFloat, kFrames);
    Findings findings;
    const std::string unwritten = scan.unwrittenText();
    if (!unwritten.empty()) findings.add(failed("in double precision, " + unwritten));
    const Outcome output = judgeOutput(scan, context, "16384 frames in double precision");
    findings.add(output);
    // Both paths compute the same sound; rounding differs far below hearing.
    const double tolerance = 1.0e-3 * std::max(1.0, static_cast<double>(scan.peak));
    if (largest > tolerance)
        findings.add(failed("the double-precision output differs from the single-precision one by up to " +
                            threeFigures(largest) + " at frame " + std::to_string(where) + " for the same input"));
    return findings.outcome(output.message + ", within " + threeFigures(largest) + " of the single-precision output");
}

// The loudest output of a fresh instance given silence, over `frames`.
float loudestWithoutInput(CheckContext& context, std::int32_t frames) {
    PluginUnderTest plugin(context);
    plugin.start(kRate, kBlock);
    BlockBuffers io(plugin, kBlock);
    float loudest = 0.0f;
    for (std::int32_t done = 0; done < frames + 4 * kBlock; done += kBlock) {
        io.in.fill(0.0f);
        plugin.process(io.in, io.out, kBlock);
        for (std::int32_t c = 0; c < plugin.outputs(); ++c)
            for (std::int32_t i = 0; i < kBlock; ++i) {
                const float x = io.out.channel(c)[i];
                if (std::isfinite(x) && !unwritten(x)) loudest = std::max(loudest, std::fabs(x));
            }
    }
    return loudest;
}

Outcome latency(CheckContext& context) {
    PluginUnderTest plugin(context);
    if (plugin.inputs() <= 0) return skipped("no audio inputs to send an impulse through");
    const std::int32_t atOpen = plugin.latency();
    plugin.start(kRate, kBlock);
    const int told = plugin.host().ioChanged;
    BlockBuffers io(plugin, kBlock);
    // Silence first: some plug-ins know their latency once they process.
    for (int b = 0; b < 4; ++b) {
        io.in.fill(0.0f);
        plugin.process(io.in, io.out, kBlock);
    }
    const std::int32_t reported = plugin.latency();
    Findings findings;
    // An LV2 plug-in's latency is an output port, read after every run.
    if (plugin.lv2() == nullptr && reported != atOpen && plugin.host().ioChanged == told)
        findings.add({context.failFrom(7), "initialDelay went from " + std::to_string(atOpen) + " to " +
                                               std::to_string(reported) +
                                               " frames once processing started, without audioMasterIOChanged: hosts "
                                               "read it when processing starts"});
    if (reported < 0) return failed("the latency is " + std::to_string(reported) + " frames, a negative latency");
    const std::int32_t window = std::min(reported, 1 << 20) + 16384;
    std::vector<float> level;
    for (std::int32_t done = 0; done < window; done += kBlock) {
        io.in.fill(0.0f);
        if (done == 0)
            for (std::int32_t c = 0; c < plugin.inputs(); ++c) io.in.channel(c)[0] = kNoiseAmplitude;
        plugin.process(io.in, io.out, kBlock);
        for (std::int32_t i = 0; i < kBlock; ++i) {
            float loudest = 0.0f;
            for (std::int32_t c = 0; c < plugin.outputs(); ++c) {
                const float x = io.out.channel(c)[i];
                if (std::isfinite(x) && !unwritten(x)) loudest = std::max(loudest, std::fabs(x));
            }
            level.push_back(loudest);
        }
    }
    const auto peakAt = static_cast<std::int32_t>(std::max_element(level.begin(), level.end()) - level.begin());
    const float peak = level[static_cast<std::size_t>(peakAt)];
    const std::string claim = "claims a latency of " + counted(reported, "frame");
    // A plug-in as loud without input as with the impulse, a generator,
    // shows nothing of where the impulse went.
    const float unprompted = loudestWithoutInput(context, window);
    if (peak >= kSilence && unprompted >= 0.5f * peak)
        return skipped(claim + ", but it is as loud without input (peak " + threeFigures(unprompted) +
                       ") as after an impulse (peak " + threeFigures(peak) +
                       "), so where an impulse comes out cannot be measured");
    if (peak < kSilence) {
        findings.add(passed(""));
        return findings.outcome(claim + "; an impulse brought nothing out within " + std::to_string(window) +
                                " frames, so it cannot be measured");
    }
    std::int32_t first = 0;
    while (level[static_cast<std::size_t>(first)] < 0.1f * peak) ++first;
    if (peakAt + 2 < reported && first < reported)
        findings.add(failed(claim + ", but an impulse comes out at frame " + std::to_string(peakAt) +
                            ": ahead of what a host compensates for"));
    // The impulse itself, unchanged but for its delay: that delay is the
    // plug-in's latency, whatever it claims.
    const bool clean = std::all_of(level.begin(), level.end(), [&, i = std::int32_t{0}](float x) mutable {
        return std::abs(i++ - peakAt) <= 2 || x < 0.01f * peak;
    });
    if (clean && first > reported + 2)
        findings.add(failed(claim + ", but its output is the impulse delayed by " + counted(peakAt, "frame") +
                            ": a host compensating what it claims puts it late"));
    return findings.outcome(claim + "; an impulse comes out at frame " + std::to_string(peakAt) + ", not before");
}

Outcome bypass(CheckContext& context) {
    constexpr std::int32_t kSettle = 4096;  // room for a fade into bypass
    constexpr std::int32_t kCompared = 16384;
    PluginUnderTest plugin(context);
    if (plugin.inputs() <= 0) return skipped("no audio inputs to pass through");
    plugin.start(kRate, kBlock);
    BlockBuffers io(plugin, kBlock);
    SignalScan scan;
    for (int b = 0; b < 4; ++b) processNoise(plugin, io, context.random, kBlock, scan);
    // A plug-in that can bypass itself says so by answering 1.
    const std::intptr_t accepted = plugin.dispatch(effSetBypass, 0, 1);
    if (accepted != 1) return skipped("not offered: effSetBypass(1) answers " + std::to_string(accepted));
    const std::int32_t delay = std::max(0, plugin.effect()->initialDelay);
    const std::int32_t total = (kSettle + kCompared + std::min(delay, 1 << 20) + kBlock - 1) / kBlock * kBlock;
    ChannelBuffers input(plugin.inputs(), total);
    fillNoise(input, context.random, kNoiseAmplitude, total);
    ChannelBuffers output(plugin.outputs(), total);
    std::vector<float*> in(static_cast<std::size_t>(plugin.inputs()));
    std::vector<float*> out(static_cast<std::size_t>(std::max(plugin.outputs(), 1)));
    for (std::int32_t offset = 0; offset < total; offset += kBlock) {
        for (std::size_t c = 0; c < in.size(); ++c) in[c] = input.pointers()[c] + offset;
        for (std::size_t c = 0; c < out.size(); ++c) out[c] = output.pointers()[c] + offset;
        plugin.process(in.data(), out.data(), kBlock);
    }
    double largest = 0.0;
    std::int32_t where = -1;
    const std::int32_t shared = std::min(plugin.inputs(), plugin.outputs());
    for (std::int32_t c = 0; c < shared; ++c)
        for (std::int32_t t = kSettle + delay; t < total; ++t) {
            const double gap = std::fabs(static_cast<double>(output.channel(c)[t]) - input.channel(c)[t - delay]);
            if (!(gap <= largest)) {
                largest = std::isfinite(gap) ? gap : INFINITY;
                where = t;
            }
        }
    plugin.dispatch(effSetBypass, 0, 0);
    for (int b = 0; b < 4; ++b) processNoise(plugin, io, context.random, kBlock, scan);
    const std::string delayed = "the input delayed by its latency of " + counted(delay, "frame");
    if (largest > kSilence)
        return failed("bypassed (effSetBypass(1) answered 1), the output differs from " + delayed + " by up to " +
                      threeFigures(largest) + " at frame " + std::to_string(where));
    const Outcome output2 = judgeOutput(scan, context, "bypass off again", kOnlyFinite);
    if (output2.verdict != Verdict::pass) return output2;
    return passed("bypassed, the output is " + delayed + " (within " + threeFigures(largest) +
                  "); off again, it processes");
}

}  // namespace

CheckGroup featuresGroup() {
    return {"features",
            {
                {"features.double-precision", 2,
                 "where effFlagsCanDoubleReplacing is set: double-precision output finite, written and within 1e-3 "
                 "of the single-precision output",
                 doublePrecision},
                {"features.latency", 3,
                 "the latency (initialDelay, an LV2 latency port), read once processing has started: an impulse "
                 "comes out no earlier, and a plain delay of it no later (a change without audioMasterIOChanged "
                 "fails from strictness 7; skipped for a plug-in as loud without input)",
                 latency, 1, false, Formats::both},
                {"features.bypass", 3,
                 "where effSetBypass(1) answers 1: the output is the input, delayed by the latency", bypass},
            }};
}

}  // namespace vsthost::validate
