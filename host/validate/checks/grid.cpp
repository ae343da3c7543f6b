// Audio through the plug-in at every block size a host may choose, and at
// every sample rate: what comes out is finite, free of subnormals, bounded
// and written; blocks of no samples are harmless; instances do not share
// state; and, for a plug-in without latency, how the audio is cut into blocks
// does not change it. Block sizes and rates are tried apart, so that a fault
// at one block size is reported once, not once for every rate.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/text/figures.h"
#include "host/validate/audio_probe.h"
#include "host/validate/catalogue.h"
#include "host/validate/findings.h"
#include "host/validate/plugin_under_test.h"
#include "host/validate/probe.h"

namespace vsthost::validate {

namespace {

constexpr double kSampleRates[] = {8000.0, 22050.0, 44100.0, 44123.45, 48000.0, 88200.0, 96000.0, 192000.0};
constexpr std::int32_t kBlockSizes[] = {1, 2, 31, 64, 512, 4096, 16384};
constexpr std::int32_t kLargestBlock = 16384;
constexpr int kRandomBlocks = 8;
// Each block size runs at least this many frames, and at least three blocks.
constexpr std::int32_t kFramesPerSize = 2048;
// Each rate runs 10 s of audio (a filter blowing up at a low rate may take
// seconds to show), at most this many frames, in blocks of kRateBlock.
constexpr double kSecondsPerRate = 10.0;
constexpr std::int32_t kMostFramesPerRate = 131072;
constexpr std::int32_t kRateBlock = 512;
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

// One block of noise, with a guard behind it; a finding if the guard is gone.
void guardedBlock(PluginUnderTest& plugin, BlockBuffers& io, CheckContext& context, std::int32_t frames,
                  SignalScan& scan, Findings& findings, const std::string& where) {
    guardEnd(io.out, frames);
    processNoise(plugin, io, context.random, frames, scan);
    if (!guardIntact(io.out, frames))
        findings.add(failed("wrote past the end of a " + std::to_string(frames) + "-frame output block" + where));
}

Outcome blockSizes(CheckContext& context) {
    constexpr double kRate = 44100.0;
    PluginUnderTest plugin(context.module);
    BlockBuffers io(plugin, kLargestBlock + 1);
    SignalScan scan;
    Findings findings;
    for (const std::int32_t size : kBlockSizes) {
        plugin.start(kRate, size);
        const std::int32_t blocks = std::max(3, (kFramesPerSize + size - 1) / size);
        for (std::int32_t b = 0; b < blocks; ++b) guardedBlock(plugin, io, context, size, scan, findings, "");
    }
    plugin.start(kRate, kLargestBlock);
    for (int b = 0; b < kRandomBlocks; ++b)
        guardedBlock(plugin, io, context, context.random.between(1, kLargestBlock), scan, findings, "");
    const std::string unwritten = scan.unwrittenText();
    if (!unwritten.empty())
        findings.add(failed(unwritten + ": a replacing plug-in writes every output of every block"));
    const Outcome output = judgeOutput(scan, context,
                                       "44100 Hz, blocks of 1 to 16384 frames, each announced, and " +
                                           std::to_string(kRandomBlocks) + " of random sizes");
    findings.add(output);
    return findings.outcome(output.message + ", every output written");
}

Outcome rate(CheckContext& context, double rate) {
    PluginUnderTest plugin(context.module);
    BlockBuffers io(plugin, kRateBlock);
    SignalScan scan;
    plugin.start(rate, kRateBlock);
    const auto frames = static_cast<std::int32_t>(std::min<double>(kSecondsPerRate * rate, kMostFramesPerRate));
    for (std::int32_t done = 0; done < frames; done += kRateBlock)
        processNoise(plugin, io, context.random, kRateBlock, scan);
    return judgeOutput(
        scan, context,
        rateText(rate) + " Hz, " + std::to_string(frames) + " frames in blocks of " + std::to_string(kRateBlock));
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

Outcome largerBlocks(CheckContext& context) {
    constexpr std::int32_t kAnnounced = 1024;
    constexpr std::int32_t kGiven = 4096;
    PluginUnderTest plugin(context.module);
    plugin.start(44100.0, kAnnounced);
    BlockBuffers io(plugin, kGiven);
    SignalScan scan;
    // Writing past a block's end is grid.block-sizes' finding.
    for (int b = 0; b < 8; ++b) processNoise(plugin, io, context.random, kGiven, scan);
    return judgeOutput(scan, context,
                       "blocks of " + std::to_string(kGiven) + " frames where " + std::to_string(kAnnounced) +
                           " were announced (out of protocol: hosts keep to what they announce)");
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

std::vector<std::int32_t> randomCuts(SeededRandom& random, std::int32_t frames, std::int32_t largest) {
    std::vector<std::int32_t> sizes;
    for (std::int32_t done = 0; done < frames;) {
        const std::int32_t size = std::min(random.between(1, largest), frames - done);
        sizes.push_back(size);
        done += size;
    }
    return sizes;
}

struct Difference {
    double largest = 0.0;
    std::int64_t frame = -1;  // of the largest
    bool identical = true;
};

Difference compare(const float* a, const float* b, std::int32_t channels, std::int32_t frames) {
    Difference d;
    for (std::int32_t c = 0; c < channels; ++c)
        for (std::int32_t i = 0; i < frames; ++i) {
            const float x = a[static_cast<std::size_t>(c) * frames + i];
            const float y = b[static_cast<std::size_t>(c) * frames + i];
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

Difference compare(const ChannelBuffers& a, const ChannelBuffers& b, std::int32_t frames) {
    Difference d;
    for (std::int32_t c = 0; c < a.channels(); ++c) {
        const Difference one = compare(a.channel(c), b.channel(c), 1, frames);
        if (one.identical) continue;
        if (d.identical || one.largest > d.largest) d = one;
    }
    return d;
}

std::string by(const Difference& d) {
    return "by up to " + threeFigures(d.largest) + " at frame " + std::to_string(d.frame);
}

// Two instances are compared in fresh processes: the first instance of two
// processes (does one instance repeat itself?), two opened one after the
// other, and two processing block by block in turn.
constexpr std::int32_t kTwoFrames = 32768;
constexpr std::int32_t kTwoLargestBlock = 4096;
constexpr const char* kTwoStream = "grid.two-instances";

struct TwoInput {
    ChannelBuffers input;
    std::vector<std::int32_t> sizes;
};

// The same input and blocks in every process of the check.
TwoInput twoInput(const CheckContext& context, std::int32_t inputs) {
    SeededRandom random(context.run != nullptr ? context.run->seed : 0, kTwoStream);
    TwoInput two{ChannelBuffers(inputs, kTwoFrames), randomCuts(random, kTwoFrames, kTwoLargestBlock)};
    fillNoise(two.input, random, kNoiseAmplitude, kTwoFrames);
    return two;
}

void append(std::vector<float>& samples, const ChannelBuffers& buffers) {
    for (std::int32_t c = 0; c < buffers.channels(); ++c)
        samples.insert(samples.end(), buffers.channel(c), buffers.channel(c) + kTwoFrames);
}

std::vector<float> oneAfterTheOther(CheckContext& context) {
    std::vector<float> samples;
    for (int round = 0; round < 2; ++round) {
        PluginUnderTest plugin(context.module);
        plugin.start(44100.0, kTwoLargestBlock);
        TwoInput two = twoInput(context, plugin.inputs());
        ChannelBuffers output(plugin.outputs(), kTwoFrames);
        processCut(plugin, two.input, output, two.sizes);
        append(samples, output);
    }
    return samples;
}

std::vector<float> inTurn(CheckContext& context) {
    PluginUnderTest first(context.module);
    PluginUnderTest second(context.module);
    first.start(44100.0, kTwoLargestBlock);
    second.start(44100.0, kTwoLargestBlock);
    TwoInput two = twoInput(context, first.inputs());
    ChannelBuffers inputCopy = two.input;
    ChannelBuffers outFirst(first.outputs(), kTwoFrames);
    ChannelBuffers outSecond(second.outputs(), kTwoFrames);
    std::vector<float*> in(static_cast<std::size_t>(std::max(two.input.channels(), 1)));
    std::vector<float*> in2(in.size());
    std::vector<float*> out(static_cast<std::size_t>(std::max(outFirst.channels(), 1)));
    std::vector<float*> out2(out.size());
    std::int32_t offset = 0;
    for (const std::int32_t size : two.sizes) {
        for (std::size_t c = 0; c < in.size(); ++c) {
            in[c] = two.input.pointers()[c] + offset;
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
    std::vector<float> samples;
    append(samples, outFirst);
    append(samples, outSecond);
    return samples;
}

Outcome twoInstances(CheckContext& context) {
    const std::int32_t outputs = PluginUnderTest(context.module).outputs();
    const std::size_t one = static_cast<std::size_t>(std::max(outputs, 0)) * kTwoFrames;
    const std::vector<float> alone = runProbe(context, "grid.two-instances.alone");
    const std::vector<float> aloneAgain = runProbe(context, "grid.two-instances.alone");
    const std::vector<float> together = runProbe(context, "grid.two-instances.together");
    if (alone.size() != 2 * one || aloneAgain.size() != 2 * one || together.size() != 2 * one)
        return failed("the processes comparing instances gave no output");
    const float* first = alone.data();
    const float* second = alone.data() + one;
    const Difference repeat = compare(first, aloneAgain.data(), outputs, kTwoFrames);
    if (!repeat.identical)
        return passed("random by design: the first instance of two fresh processes, given the same input, differs " +
                      by(repeat) + ", so instances cannot be compared");
    const Difference inTurnFirst = compare(together.data(), first, outputs, kTwoFrames);
    const Difference inTurnSecond = compare(together.data() + one, second, outputs, kTwoFrames);
    if (!inTurnFirst.identical || !inTurnSecond.identical) {
        const Difference& d = inTurnFirst.identical ? inTurnSecond : inTurnFirst;
        return failed(std::string("two instances processing block by block in turn give other output than each gives "
                                  "alone (the ") +
                      (inTurnFirst.identical ? "second" : "first") + " " + by(d) +
                      "): they share state, or read memory they never wrote");
    }
    const Difference secondDiffers = compare(first, second, outputs, kTwoFrames);
    std::string message = "two instances processing block by block in turn give exactly what each gives alone over " +
                          std::to_string(kTwoFrames) + " frames";
    if (!secondDiffers.identical)
        message += "; an instance opened after another gives other output than the first " + by(secondDiffers) +
                   " (a generator shared by the process, or memory read before it is written)";
    return passed(message);
}

Outcome blockSplit(CheckContext& context) {
    constexpr std::int32_t kFrames = 32768;
    constexpr std::int32_t kWhole = 4096;
    ChannelBuffers input(PluginUnderTest(context.module).inputs(), kFrames);
    fillNoise(input, context.random, kNoiseAmplitude, kFrames);
    const std::vector<std::int32_t> wholeBlocks(kFrames / kWhole, kWhole);
    const std::vector<std::int32_t> sizes = randomCuts(context.random, kFrames, kWhole);
    // The same blocks twice, then the random cut, each in a fresh instance.
    std::vector<ChannelBuffers> outputs;
    for (const auto* cuts : {&wholeBlocks, &wholeBlocks, &sizes}) {
        PluginUnderTest plugin(context.module);
        plugin.start(44100.0, kWhole);
        ChannelBuffers in = input;
        outputs.emplace_back(plugin.outputs(), kFrames);
        processCut(plugin, in, outputs.back(), *cuts);
        // Some plug-ins know their latency only once they process.
        if (plugin.effect()->initialDelay != 0)
            return skipped("the plug-in claims a latency of " + std::to_string(plugin.effect()->initialDelay) +
                           " frames, so blocks may legitimately change its output");
    }
    const Difference again = compare(outputs[0], outputs[1], kFrames);
    if (!again.identical)
        return skipped("two instances given the same blocks differ " + by(again) +
                       " (random by design, or state kept across instances), so cuts cannot be compared");
    SignalScan scan;
    scan.add(outputs[0], kFrames);
    const Difference d = compare(outputs[0], outputs[2], kFrames);
    // Rounding of positions computed per block may move a sample by a few
    // units in the last place; anything audible is a real difference.
    const double tolerance = 1.0e-4 * std::max(1.0, static_cast<double>(scan.peak));
    const std::string cutText =
        "blocks of " + std::to_string(kWhole) + " and " + std::to_string(sizes.size()) + " blocks of random sizes";
    if (d.largest > tolerance) return warned(cutText + " differ " + by(d) + " although the plug-in claims no latency");
    if (d.identical) return passed(cutText + " give identical output");
    return passed(cutText + " agree within " + threeFigures(d.largest));
}

}  // namespace

const std::vector<Probe>& probes() {
    static const std::vector<Probe> all{{"grid.two-instances.alone", oneAfterTheOther},
                                        {"grid.two-instances.together", inTurn}};
    return all;
}

CheckGroup gridGroup() {
    CheckGroup group{"grid", {}};
    group.checks.push_back({"grid.block-sizes", 2,
                            "noise at 44100 Hz in blocks of 1, 2, 31, 64, 512, 4096, 16384 and random sizes, each "
                            "announced: output finite, no subnormals, bounded, every output written, nothing past "
                            "the block",
                            blockSizes});
    for (const double r : kSampleRates)
        group.checks.push_back({"grid.rate-" + rateText(r), 2,
                                "up to 10 s of noise at " + rateText(r) + " Hz in blocks of " +
                                    std::to_string(kRateBlock) + ": output finite, no subnormals, bounded",
                                [r](CheckContext& c) { return rate(c, r); }});
    group.checks.push_back({"grid.zero-frames", 3, "blocks of 0 frames write nothing and do no harm", zeroSamples});
    group.checks.push_back({"grid.two-instances", 4,
                            "two instances processing in turn give what each gives alone (passes for a plug-in "
                            "random by design)",
                            twoInstances});
    group.checks.push_back({"grid.block-split", 5,
                            "the same audio cut into other blocks gives the same output when no latency is claimed "
                            "(a warning otherwise)",
                            blockSplit});
    group.checks.push_back({"grid.larger-blocks", 8,
                            "blocks 4 times larger than announced (out of protocol): output finite and bounded",
                            largerBlocks});
    return group;
}

}  // namespace vsthost::validate
