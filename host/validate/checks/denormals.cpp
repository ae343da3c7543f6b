// The cost of silence after a loud burst, when a plug-in's decaying state
// sinks into subnormal numbers that the processor handles slowly. Measured
// in thread CPU time, so other processes on the machine do not count, and
// as the best of a few rounds.
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "host/validate/audio_probe.h"
#include "host/validate/catalogue.h"
#include "host/validate/plugin_under_test.h"

namespace vsthost::validate {

namespace {

constexpr double kRate = 44100.0;
constexpr std::int32_t kBlock = 512;
constexpr std::int32_t kMeasured = 44032;  // a second, in whole blocks
constexpr std::int32_t kBurst = 11264;     // a quarter of a second
constexpr int kRounds = 3;
constexpr double kAllowedRatio = 1.5;

double threadSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1.0e-9;
}

// Seconds spent processing `input` block by block; the output goes into `scan`.
double timedRun(PluginUnderTest& plugin, ChannelBuffers& input, ChannelBuffers& output, std::int32_t frames,
                SignalScan* scan) {
    std::vector<float*> in(static_cast<std::size_t>(std::max(input.channels(), 1)));
    std::vector<float*> out(static_cast<std::size_t>(std::max(output.channels(), 1)));
    double spent = 0.0;
    for (std::int32_t offset = 0; offset < frames; offset += kBlock) {
        for (std::size_t c = 0; c < in.size(); ++c) in[c] = input.pointers()[c] + offset;
        for (std::size_t c = 0; c < out.size(); ++c) out[c] = output.pointers()[c] + offset;
        const double begin = threadSeconds();
        plugin.process(in.data(), out.data(), kBlock);
        spent += threadSeconds() - begin;
    }
    if (scan != nullptr) scan->add(output, frames);
    return spent;
}

Outcome tailCost(CheckContext& context) {
    PluginUnderTest plugin(context);
    plugin.start(kRate, kBlock);
    ChannelBuffers normal(plugin.inputs(), kMeasured);
    fillNoise(normal, context.random, kNoiseAmplitude, kMeasured);
    ChannelBuffers burst(plugin.inputs(), kBurst);
    fillNoise(burst, context.random, 1.0f, kBurst);
    ChannelBuffers silence(plugin.inputs(), kMeasured);
    silence.fill(0.0f);
    ChannelBuffers output(plugin.outputs(), kMeasured);

    double normalCost = 1.0e30;
    double tailCost = 1.0e30;
    SignalScan tail;
    for (int round = 0; round < kRounds; ++round) {
        normalCost = std::min(normalCost, timedRun(plugin, normal, output, kMeasured, nullptr));
        timedRun(plugin, burst, output, kBurst, nullptr);
        tailCost = std::min(tailCost, timedRun(plugin, silence, output, kMeasured, &tail));
    }
    const double ratio = tailCost / std::max(normalCost, 1.0e-9);
    char text[200];
    std::snprintf(text, sizeof text,
                  "a second of silence after a loud burst costs %.2f times a second of noise (%.2f ms against "
                  "%.2f ms); %lld subnormal output samples",
                  ratio, tailCost * 1.0e3, normalCost * 1.0e3, static_cast<long long>(tail.subnormal));
    return ratio > kAllowedRatio ? warned(text) : passed(text);
}

}  // namespace

CheckGroup denormalsGroup() {
    return {"denormals",
            {
                {"denormals.tail-cost", 5,
                 "silence after a loud burst costs at most 1.5 times a normal signal (a warning otherwise)", tailCost,
                 1, false, Formats::both},
            }};
}

}  // namespace vsthost::validate
