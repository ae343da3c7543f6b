// Audio through the plug-in at every block size a host may choose, and at
// every sample rate: what comes out is finite, free of subnormals, bounded
// and written; blocks of no samples are harmless; instances do not share
// state; and, for a plug-in without latency, how the audio is cut into blocks
// does not change it. Block sizes and rates are tried apart, so that a fault
// at one block size is reported once, not once for every rate.
#include <lv2/core/lv2.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/plugin/instance_refused.h"
#include "host/plugin/lv2/lilv_node.h"
#include "host/text/figures.h"
#include "host/validate/audio_probe.h"
#include "host/validate/catalogue.h"
#include "host/validate/findings.h"
#include "host/validate/guarded_buffers.h"
#include "host/validate/lv2/lv2_subject.h"
#include "host/validate/plugin_under_test.h"
#include "host/validate/probe.h"

namespace vsthost::validate {

namespace {

constexpr double kSampleRates[] = {8000.0, 22050.0, 44100.0, 44123.45, 48000.0, 88200.0, 96000.0, 192000.0};
constexpr std::int32_t kBlockSizes[] = {1, 2, 31, 64, 512, 4096, 16384};
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

// One block of noise in buffers that end at a guard page, announced or
// not; the output has one sample more, holding kGuard, so that a plug-in
// writing one frame too many is named as such rather than crashing.
void guardedBlock(PluginUnderTest& plugin, CheckContext& context, std::int32_t frames, SignalScan& scan,
                  Findings& findings) {
    GuardedBuffers in(plugin.inputs(), frames);
    GuardedBuffers out(plugin.outputs(), frames + 1);
    fillNoise(in.pointers(), plugin.inputs(), context.random, kNoiseAmplitude, frames);
    for (std::int32_t c = 0; c < out.channels(); ++c) out.channel(c)[frames] = kGuard;
    plugin.process(in.pointers(), out.pointers(), frames);
    scan.add(out.pointers(), plugin.outputs(), frames);
    for (std::int32_t c = 0; c < out.channels(); ++c)
        if (std::memcmp(&out.channel(c)[frames], &kGuard, sizeof kGuard) != 0) {
            findings.add(failed("wrote past the end of a " + std::to_string(frames) + "-frame output block"));
            return;
        }
}

Outcome blockSizes(CheckContext& context) {
    constexpr double kRate = 44100.0;
    PluginUnderTest plugin(context);
    SignalScan scan;
    Findings findings;
    std::string refused;
    std::int32_t largest = 0;
    for (const std::int32_t size : kBlockSizes) {
        try {
            plugin.start(kRate, size);
        } catch (const InstanceRefused&) {
            refused += (refused.empty() ? "" : ", ") + std::to_string(size);
            continue;
        }
        largest = size;
        const std::int32_t blocks = std::max(3, (kFramesPerSize + size - 1) / size);
        for (std::int32_t b = 0; b < blocks; ++b) guardedBlock(plugin, context, size, scan, findings);
    }
    if (!refused.empty())
        findings.add(warned("refused an instance with blocks of " + refused +
                            " frames announced, so hosts announcing those cannot use it"));
    // Shorter than announced: buffers end where the frames given end.
    if (largest > 0) {
        plugin.start(kRate, largest);
        for (int b = 0; b < kRandomBlocks; ++b)
            guardedBlock(plugin, context, context.random.between(1, largest), scan, findings);
    }
    const std::string unwritten = scan.unwrittenText();
    if (!unwritten.empty())
        findings.add(failed(unwritten + ": a replacing plug-in writes every output of every block"));
    const Outcome output =
        judgeOutput(scan, context,
                    "44100 Hz, blocks of 1 to 16384 frames, each announced, and " + std::to_string(kRandomBlocks) +
                        " of random sizes, each ending at unreadable memory");
    findings.add(output);
    return findings.outcome(output.message + ", every output written");
}

Outcome rate(CheckContext& context, double rate) {
    PluginUnderTest plugin(context);
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
    PluginUnderTest plugin(context);
    plugin.start(44100.0, 512);
    BlockBuffers io(plugin, 512);
    SignalScan scan;
    Findings findings;
    processNoise(plugin, io, context.random, 512, scan);
    for (int round = 0; round < 3; ++round) {
        io.out.fill(kGuard);
        plugin.process(io.in, io.out, 0);
        for (std::int32_t c = 0; c < io.out.channels(); ++c)
            if (std::memcmp(io.out.channel(c), &kGuard, sizeof kGuard) != 0) {
                findings.add(failed("a block of 0 frames wrote into the output"));
                break;
            }
    }
    processNoise(plugin, io, context.random, 512, scan);
    const Outcome output = judgeOutput(scan, context, "blocks of 0 frames write nothing; around them");
    findings.add(output);
    return findings.outcome(output.message);
}

Outcome largerBlocks(CheckContext& context) {
    constexpr std::int32_t kAnnounced = 1024;
    constexpr std::int32_t kGiven = 4096;
    PluginUnderTest plugin(context);
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

// Blocks of `size`, the last one what is left.
std::vector<std::int32_t> evenCut(std::int32_t frames, std::int32_t size) {
    std::vector<std::int32_t> sizes(static_cast<std::size_t>(frames / size), size);
    if (frames % size != 0) sizes.push_back(frames % size);
    return sizes;
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
    // Room behind for a plug-in that reads a whole announced block whatever it
    // is given: grid.block-sizes is where that is found.
    TwoInput two{ChannelBuffers(inputs, kTwoFrames + kTwoLargestBlock),
                 randomCuts(random, kTwoFrames, kTwoLargestBlock)};
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
        PluginUnderTest plugin(context);
        plugin.start(44100.0, kTwoLargestBlock);
        TwoInput two = twoInput(context, plugin.inputs());
        ChannelBuffers output(plugin.outputs(), kTwoFrames);
        processCut(plugin, two.input, output, two.sizes);
        append(samples, output);
    }
    return samples;
}

std::vector<float> inTurn(CheckContext& context) {
    PluginUnderTest first(context);
    PluginUnderTest second(context);
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
    const std::int32_t outputs = PluginUnderTest(context).outputs();
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

// Where outputs cut in two ways differ beyond a tolerance, frame by frame.
std::vector<std::int32_t> differingFrames(const ChannelBuffers& a, const ChannelBuffers& b, std::int32_t frames,
                                          double tolerance) {
    std::vector<std::int32_t> where;
    for (std::int32_t i = 0; i < frames; ++i)
        for (std::int32_t c = 0; c < a.channels(); ++c) {
            const float x = a.channel(c)[i];
            const float y = b.channel(c)[i];
            if (std::memcmp(&x, &y, sizeof x) == 0) continue;
            const double gap = std::isfinite(x) && std::isfinite(y) ? std::fabs(static_cast<double>(x) - y) : INFINITY;
            if (gap > tolerance) {
                where.push_back(i);
                break;
            }
        }
    return where;
}

// A block boundary's neighbourhood: the last frames of one block and the
// first of the next, where a state carried badly from block to block shows
// and decays.
constexpr std::int32_t kBeforeBoundary = 2;
constexpr std::int32_t kAfterBoundary = 32;

// The frames at which blocks start, in either cut, without 0.
std::vector<std::int32_t> blockStarts(const std::vector<std::int32_t>& a, const std::vector<std::int32_t>& b) {
    std::vector<std::int32_t> starts;
    for (const auto* sizes : {&a, &b})
        for (std::int32_t at = 0; const std::int32_t size : *sizes) {
            at += size;
            starts.push_back(at);
        }
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    return starts;
}

bool nearBoundary(const std::vector<std::int32_t>& starts, std::int32_t frame) {
    const auto next = std::upper_bound(starts.begin(), starts.end(), frame);
    if (next != starts.end() && *next - frame <= kBeforeBoundary) return true;
    return next != starts.begin() && frame - *(next - 1) < kAfterBoundary;
}

// The size of the block of `sizes` that holds `frame`.
std::int32_t blockHolding(const std::vector<std::int32_t>& sizes, std::int32_t frame) {
    for (std::int32_t at = 0; const std::int32_t size : sizes) {
        if (frame < at + size) return size;
        at += size;
    }
    return 0;
}

// A smoothing has settled when the last whole block is the same.
constexpr std::int32_t kSettledBlock = 4096;

// Whole blocks against one other cut. Differences that die away before the
// last whole block are a smoother settling on its own schedule (some run
// their ramps in chunks of their own); differences that cluster at block
// boundaries, or go on into that block, are the audio damaged by how it was
// cut.
Outcome judgeCut(const ChannelBuffers& whole, const ChannelBuffers& cut, const std::vector<std::int32_t>& wholeSizes,
                 const std::vector<std::int32_t>& sizes, const std::string& cutText, std::int32_t frames,
                 double tolerance) {
    const Difference d = compare(whole, cut, frames);
    const std::vector<std::int32_t> differing = differingFrames(whole, cut, frames, tolerance);
    if (differing.empty())
        return passed(cutText + (d.identical ? ": identical output" : ": within " + threeFigures(d.largest)));
    const std::vector<std::int32_t> starts = blockStarts(wholeSizes, sizes);
    const auto atBoundaries = std::count_if(differing.begin(), differing.end(),
                                            [&](std::int32_t frame) { return nearBoundary(starts, frame); });
    const bool clustered = 2 * atBoundaries >= static_cast<std::int64_t>(differing.size());
    const bool settles = differing.back() < frames - kSettledBlock;
    // Runs of neighbouring frames, the first few.
    std::string at = "frames";
    int runs = 0;
    std::size_t i = 0;
    while (i < differing.size() && runs < 5) {
        std::size_t last = i;
        while (last + 1 < differing.size() && differing[last + 1] - differing[last] <= 2) ++last;
        at += (runs++ == 0 ? " " : ", ") + std::to_string(differing[i]);
        if (last > i) at += "-" + std::to_string(differing[last]);
        i = last + 1;
    }
    if (i < differing.size()) at += ", ...";
    const std::string where = "cut into " + cutText + ", the output differs from whole blocks " + by(d) + ", at " + at +
                              " (" + std::to_string(differing.size()) + " frames in all, the first in a block of " +
                              std::to_string(blockHolding(sizes, differing.front())) + ")";
    if (clustered)
        return failed(where + ": " + std::to_string(atBoundaries) +
                      " of them at block boundaries, although the plug-in claims no latency: how the host cuts the "
                      "audio damages it");
    if (!settles)
        return failed(where +
                      ", on to the end, although the plug-in claims no latency: how the host cuts the audio "
                      "changes it for good");
    return passed(where + ", only in the first " + std::to_string(differing.back() + 1) +
                  " frames: a smoothing that settles");
}

Outcome blockSplit(CheckContext& context) {
    constexpr std::int32_t kFrames = 32768;
    constexpr std::int32_t kWhole = 4096;
    // A size that divides nothing the plug-in may round to, as one host's 10 ms at 44100 Hz.
    constexpr std::int32_t kIrregular = 441;
    // Room behind for a plug-in that reads a whole announced block whatever
    // it is given: grid.block-sizes is where that is found.
    ChannelBuffers input(PluginUnderTest(context).inputs(), kFrames + kWhole);
    fillNoise(input, context.random, kNoiseAmplitude, kFrames);
    const std::vector<std::int32_t> wholeBlocks = evenCut(kFrames, kWhole);
    const std::vector<std::int32_t> irregular = evenCut(kFrames, kIrregular);
    const std::vector<std::int32_t> sizes = randomCuts(context.random, kFrames, kWhole);
    // The same blocks twice, then the other cuts, each in a fresh instance.
    std::vector<ChannelBuffers> outputs;
    for (const auto* cuts : {&wholeBlocks, &wholeBlocks, &irregular, &sizes}) {
        PluginUnderTest plugin(context);
        plugin.start(44100.0, kWhole);
        ChannelBuffers in = input;
        outputs.emplace_back(plugin.outputs(), kFrames);
        processCut(plugin, in, outputs.back(), *cuts);
        // Some plug-ins know their latency only once they process.
        if (plugin.latency() != 0)
            return skipped("the plug-in claims a latency of " + std::to_string(plugin.latency()) +
                           " frames, so blocks may legitimately change its output");
    }
    const Difference again = compare(outputs[0], outputs[1], kFrames);
    if (!again.identical)
        return skipped("two instances given the same blocks differ " + by(again) +
                       " (random by design, or state kept across instances), so cuts cannot be compared");
    SignalScan scan;
    scan.add(outputs[0], kFrames);
    // Rounding of positions computed per block may move a sample by a few
    // units in the last place; anything audible is a real difference.
    const double tolerance = 1.0e-4 * std::max(1.0, static_cast<double>(scan.peak));
    Findings findings;
    const Outcome byIrregular =
        judgeCut(outputs[0], outputs[2], wholeBlocks, irregular,
                 "blocks of " + std::to_string(kIrregular) + " where " + std::to_string(kWhole) + " were announced",
                 kFrames, tolerance);
    const Outcome byRandom = judgeCut(outputs[0], outputs[3], wholeBlocks, sizes,
                                      std::to_string(sizes.size()) + " blocks of random sizes", kFrames, tolerance);
    findings.add(byIrregular);
    findings.add(byRandom);
    return findings.outcome("against whole blocks of " + std::to_string(kWhole) + ", " + byIrregular.message + "; " +
                            byRandom.message);
}

// The same noise through instances given output buffers of their own, and
// through one whose outputs are its inputs' buffers, as hosts that process
// in place give them. An LV2 plug-in that cannot work so must say
// lv2:inPlaceBroken, and is then given buffers of its own.
Outcome inPlace(CheckContext& context) {
    constexpr std::int32_t kFrames = 16384;
    constexpr std::int32_t kBlock = 512;
    const LilvNodeOwner broken = context.lv2->data.uri(LV2_CORE__inPlaceBroken);
    if (lilv_plugin_has_feature(context.lv2->data.plugin(), broken.get()))
        return passed("its data claims lv2:inPlaceBroken, so it is given buffers of its own, never the same");
    PluginUnderTest probe(context);
    const std::int32_t inputs = probe.inputs();
    const std::int32_t outputs = probe.outputs();
    if (std::min(inputs, outputs) <= 0) return passed("no input and output to share a buffer");
    ChannelBuffers input(inputs, kFrames);
    fillNoise(input, context.random, kNoiseAmplitude, kFrames);
    const std::vector<std::int32_t> blocks = evenCut(kFrames, kBlock);
    std::vector<ChannelBuffers> apart;
    for (int round = 0; round < 2; ++round) {
        PluginUnderTest plugin(context);
        plugin.start(44100.0, kBlock);
        ChannelBuffers in = input;
        apart.emplace_back(outputs, kFrames);
        processCut(plugin, in, apart.back(), blocks);
    }
    const Difference again = compare(apart[0], apart[1], kFrames);
    if (!again.identical)
        return skipped("two instances given the same input differ " + by(again) +
                       " (random by design), so in-place processing cannot be compared");
    // Each output written over the input of its number; outputs beyond the inputs get buffers of their own.
    ChannelBuffers shared(std::max(inputs, outputs), kFrames);
    for (std::int32_t c = 0; c < inputs; ++c) std::copy_n(input.channel(c), kFrames, shared.channel(c));
    PluginUnderTest plugin(context);
    plugin.start(44100.0, kBlock);
    std::vector<float*> in(static_cast<std::size_t>(inputs));
    std::vector<float*> out(static_cast<std::size_t>(outputs));
    for (std::int32_t offset = 0; offset < kFrames; offset += kBlock) {
        for (std::size_t c = 0; c < in.size(); ++c) in[c] = shared.pointers()[c] + offset;
        for (std::size_t c = 0; c < out.size(); ++c) out[c] = shared.pointers()[c] + offset;
        plugin.process(in.data(), out.data(), kBlock);
    }
    const Difference d = compare(apart[0], shared, kFrames);
    if (d.identical) return passed("each output written over its input's buffer gives exactly what buffers apart give");
    return failed("each output written over its input's buffer gives other output than buffers apart, " + by(d) +
                  ", and its data does not claim lv2:inPlaceBroken: hosts that process in place get that");
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
                            blockSizes, 1, false, Formats::both});
    for (const double r : kSampleRates)
        group.checks.push_back({"grid.rate-" + rateText(r), 2,
                                "up to 10 s of noise at " + rateText(r) + " Hz in blocks of " +
                                    std::to_string(kRateBlock) + ": output finite, no subnormals, bounded",
                                [r](CheckContext& c) { return rate(c, r); }, 1, false, Formats::both});
    group.checks.push_back({"grid.zero-frames", 3, "blocks of 0 frames write nothing and do no harm", zeroSamples, 1,
                            false, Formats::both});
    group.checks.push_back({"grid.two-instances", 4,
                            "two instances processing in turn give what each gives alone (passes for a plug-in "
                            "random by design)",
                            twoInstances, 1, false, Formats::both});
    group.checks.push_back({"grid.block-split", 5,
                            "the same audio cut into blocks of 441 frames and of random sizes gives what whole "
                            "blocks give when no latency is claimed: differences that cluster at block boundaries "
                            "or last fail, ones that settle at the start pass",
                            blockSplit, 1, false, Formats::both});
    group.checks.push_back({"grid.in-place", 3,
                            "outputs written over their inputs' buffers give what buffers apart give, unless the "
                            "data claims lv2:inPlaceBroken",
                            inPlace, 1, false, Formats::lv2});
    group.checks.push_back({"grid.larger-blocks", 8,
                            "blocks 4 times larger than announced (out of protocol): output finite and bounded",
                            largerBlocks});
    return group;
}

}  // namespace vsthost::validate
