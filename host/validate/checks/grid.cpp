// Audio through the plug-in at every sample rate and block size a host may
// choose: what comes out is finite, free of subnormals and bounded; blocks of
// no samples are harmless; instances do not share state; and, for a plug-in
// without latency, how the audio is cut into blocks does not change it.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/validate/audio_probe.h"
#include "host/validate/catalogue.h"
#include "host/validate/findings.h"
#include "host/validate/plugin_under_test.h"

namespace vsthost::validate {

namespace {

constexpr double kSampleRates[] = {8000.0, 22050.0, 44100.0, 44123.45, 48000.0, 88200.0, 96000.0, 192000.0};
constexpr std::int32_t kBlockSizes[] = {1, 2, 31, 64, 512, 4096, 16384};
constexpr std::int32_t kLargestBlock = 16384;
constexpr int kRandomBlocks = 8;
// Each block size runs at least this many frames, and at least three blocks.
constexpr std::int32_t kFramesPerSize = 2048;
// Written just past the block's end; a plug-in that overwrites it writes
// more frames than it was given.
constexpr float kGuard = 1234.5f;

std::string rateText(double rate) {
    char text[32];
    std::snprintf(text, sizeof text, rate == std::floor(rate) ? "%.0f" : "%.2f", rate);
    return text;
}

void guardEnd(ChannelBuffers& out, std::int32_t frames) {
    for (std::int32_t c = 0; c < out.channels(); ++c) out.channel(c)[frames] = kGuard;
}

bool guardIntact(const ChannelBuffers& out, std::int32_t frames) {
    for (std::int32_t c = 0; c < out.channels(); ++c)
        if (std::memcmp(&out.channel(c)[frames], &kGuard, sizeof kGuard) != 0) return false;
    return true;
}

Outcome rateGrid(CheckContext& context, double rate) {
    PluginUnderTest plugin(context.module);
    BlockBuffers io(plugin, kLargestBlock + 1);
    SignalScan scan;
    Findings findings;
    auto block = [&](std::int32_t frames) {
        guardEnd(io.out, frames);
        processNoise(plugin, io, context.random, frames, scan);
        if (!guardIntact(io.out, frames))
            findings.add(failed("wrote past the end of a " + std::to_string(frames) + "-frame output block at " +
                                rateText(rate) + " Hz"));
    };
    for (const std::int32_t size : kBlockSizes) {
        plugin.start(rate, size);
        const std::int32_t blocks = std::max(3, (kFramesPerSize + size - 1) / size);
        for (std::int32_t b = 0; b < blocks; ++b) block(size);
    }
    plugin.start(rate, kLargestBlock);
    for (int b = 0; b < kRandomBlocks; ++b) block(context.random.between(1, kLargestBlock));
    const Outcome output = judgeOutput(
        scan, context,
        rateText(rate) + " Hz, blocks of 1 to 16384 frames and " + std::to_string(kRandomBlocks) + " of random sizes");
    findings.add(output);
    return findings.outcome(output.message);
}

Outcome zeroSamples(CheckContext& context) {
    PluginUnderTest plugin(context.module);
    plugin.start(44100.0, 512);
    BlockBuffers io(plugin, 512);
    SignalScan scan;
    Findings findings;
    processNoise(plugin, io, context.random, 512, scan);
    for (int round = 0; round < 3; ++round) {
        io.out.fill(kGuard);
        plugin.process(io.in, io.out, 0);
        if (!guardIntact(io.out, 0)) findings.add(failed("a block of 0 frames wrote into the output"));
    }
    processNoise(plugin, io, context.random, 512, scan);
    const Outcome output = judgeOutput(scan, context, "blocks of 0 frames write nothing; around them");
    findings.add(output);
    return findings.outcome(output.message);
}

// Input that both sides of a comparison get, cut into blocks of the given sizes.
void processCut(PluginUnderTest& plugin, ChannelBuffers& input, ChannelBuffers& output,
                const std::vector<std::int32_t>& sizes) {
    std::vector<float*> in(static_cast<std::size_t>(std::max(input.channels(), 1)));
    std::vector<float*> out(static_cast<std::size_t>(std::max(output.channels(), 1)));
    std::int32_t offset = 0;
    for (const std::int32_t size : sizes) {
        for (std::size_t c = 0; c < in.size(); ++c) in[c] = input.pointers()[c] + offset;
        for (std::size_t c = 0; c < out.size(); ++c) out[c] = output.pointers()[c] + offset;
        plugin.process(in.data(), out.data(), size);
        offset += size;
    }
}

struct Difference {
    double largest = 0.0;
    std::int64_t frame = -1;  // of the largest
    bool identical = true;
};

Difference compare(const ChannelBuffers& a, const ChannelBuffers& b, std::int32_t frames) {
    Difference d;
    for (std::int32_t c = 0; c < a.channels(); ++c)
        for (std::int32_t i = 0; i < frames; ++i) {
            const float x = a.channel(c)[i];
            const float y = b.channel(c)[i];
            if (std::memcmp(&x, &y, sizeof x) == 0) continue;
            d.identical = false;
            const double gap = std::isfinite(x) && std::isfinite(y) ? std::fabs(static_cast<double>(x) - y) : INFINITY;
            if (gap > d.largest || d.frame < 0) {
                d.largest = gap;
                d.frame = i;
            }
        }
    return d;
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", value);
    return text;
}

Outcome twoInstances(CheckContext& context) {
    constexpr std::int32_t kFrames = 65536;
    PluginUnderTest first(context.module);
    PluginUnderTest second(context.module);
    first.start(44100.0, 4096);
    second.start(44100.0, 4096);
    ChannelBuffers input(first.inputs(), kFrames);
    input.fillNoise(context.random, kNoiseAmplitude, kFrames);
    ChannelBuffers inputCopy = input;
    ChannelBuffers outFirst(first.outputs(), kFrames);
    ChannelBuffers outSecond(second.outputs(), kFrames);
    std::vector<std::int32_t> sizes;
    for (std::int32_t done = 0; done < kFrames;) {
        const std::int32_t size = std::min(context.random.between(1, 4096), kFrames - done);
        sizes.push_back(size);
        done += size;
    }
    // Block by block in turn, so that state shared between instances shows.
    std::vector<float*> in(static_cast<std::size_t>(std::max(input.channels(), 1)));
    std::vector<float*> in2(in.size());
    std::vector<float*> out(static_cast<std::size_t>(std::max(outFirst.channels(), 1)));
    std::vector<float*> out2(out.size());
    std::int32_t offset = 0;
    for (const std::int32_t size : sizes) {
        for (std::size_t c = 0; c < in.size(); ++c) {
            in[c] = input.pointers()[c] + offset;
            in2[c] = inputCopy.pointers()[c] + offset;
        }
        for (std::size_t c = 0; c < out.size(); ++c) {
            out[c] = outFirst.pointers()[c] + offset;
            out2[c] = outSecond.pointers()[c] + offset;
        }
        first.process(in.data(), out.data(), size);
        second.process(in2.data(), out2.data(), size);
        offset += size;
    }
    const Difference d = compare(outFirst, outSecond, kFrames);
    if (!d.identical)
        return failed("two instances given the same input differ, by up to " + number(d.largest) + " at frame " +
                      std::to_string(d.frame));
    return passed("two instances, processed in turn, give identical output over " + std::to_string(kFrames) +
                  " frames");
}

Outcome blockSplit(CheckContext& context) {
    constexpr std::int32_t kFrames = 32768;
    constexpr std::int32_t kWhole = 4096;
    PluginUnderTest whole(context.module);
    if (whole.effect()->initialDelay != 0)
        return skipped("the plug-in claims a latency of " + std::to_string(whole.effect()->initialDelay) +
                       " frames, so blocks may legitimately change its output");
    PluginUnderTest cut(context.module);
    whole.start(44100.0, kWhole);
    cut.start(44100.0, kWhole);
    ChannelBuffers input(whole.inputs(), kFrames);
    input.fillNoise(context.random, kNoiseAmplitude, kFrames);
    ChannelBuffers inputCopy = input;
    ChannelBuffers outWhole(whole.outputs(), kFrames);
    ChannelBuffers outCut(cut.outputs(), kFrames);
    processCut(whole, input, outWhole, std::vector<std::int32_t>(kFrames / kWhole, kWhole));
    std::vector<std::int32_t> sizes;
    for (std::int32_t done = 0; done < kFrames;) {
        const std::int32_t size = std::min(context.random.between(1, kWhole), kFrames - done);
        sizes.push_back(size);
        done += size;
    }
    processCut(cut, inputCopy, outCut, sizes);

    SignalScan scan;
    scan.add(outWhole, kFrames);
    const Difference d = compare(outWhole, outCut, kFrames);
    // Rounding of positions computed per block may move a sample by a few
    // units in the last place; anything audible is a real difference.
    const double tolerance = 1.0e-4 * std::max(1.0, static_cast<double>(scan.peak));
    const std::string cutText =
        "blocks of " + std::to_string(kWhole) + " and " + std::to_string(sizes.size()) + " blocks of random sizes";
    if (d.largest > tolerance)
        return warned(cutText + " differ by up to " + number(d.largest) + " at frame " + std::to_string(d.frame) +
                      " although the plug-in claims no latency");
    if (d.identical) return passed(cutText + " give identical output");
    return passed(cutText + " agree within " + number(d.largest));
}

}  // namespace

CheckGroup gridGroup() {
    CheckGroup group{"grid", {}};
    for (const double rate : kSampleRates) {
        group.checks.push_back({"grid.rate-" + rateText(rate), 2,
                                "noise at " + rateText(rate) +
                                    " Hz in blocks of 1, 2, 31, 64, 512, 4096, 16384 and random sizes: output finite, "
                                    "no subnormals, bounded, nothing written past the block",
                                [rate](CheckContext& c) { return rateGrid(c, rate); }});
    }
    group.checks.push_back({"grid.zero-frames", 3, "blocks of 0 frames write nothing and do no harm", zeroSamples});
    group.checks.push_back(
        {"grid.two-instances", 4, "two instances given the same input give identical output", twoInstances});
    group.checks.push_back({"grid.block-split", 5,
                            "the same audio cut into other blocks gives the same output when no latency is claimed "
                            "(a warning otherwise)",
                            blockSplit});
    return group;
}

}  // namespace vsthost::validate
