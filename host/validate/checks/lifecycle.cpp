// Opening, closing, switching processing on and off, and set-up requests in
// every state, with audio in between to show the instance still works.
#include <string>

#include "frame/opcodes.h"
#include "host/validate/audio_probe.h"
#include "host/validate/catalogue.h"
#include "host/validate/findings.h"
#include "host/validate/plugin_under_test.h"

namespace vsthost::validate {

namespace {

constexpr std::int32_t kBlock = 256;

Outcome openClose(CheckContext& context) {
    constexpr int kRounds = 100;
    for (int round = 0; round < kRounds; ++round) {
        PluginUnderTest plugin(context.module);
    }
    // The instances must also work after all that.
    PluginUnderTest plugin(context.module);
    plugin.start(44100.0, kBlock);
    BlockBuffers io(plugin, kBlock);
    SignalScan scan;
    processNoise(plugin, io, context.random, kBlock, scan);
    return judgeOutput(scan, context, std::to_string(kRounds) + " instances opened and closed, then one processed");
}

Outcome suspendResume(CheckContext& context) {
    constexpr int kRounds = 50;
    PluginUnderTest plugin(context.module);
    plugin.start(44100.0, kBlock);
    BlockBuffers io(plugin, kBlock);
    SignalScan scan;
    for (int round = 0; round < kRounds; ++round) {
        processNoise(plugin, io, context.random, kBlock, scan);
        plugin.suspend();
        plugin.resume();
    }
    // Repeated requests of the same state, as some hosts send them.
    plugin.resume();
    processNoise(plugin, io, context.random, kBlock, scan);
    plugin.suspend();
    plugin.suspend();
    plugin.resume();
    processNoise(plugin, io, context.random, kBlock, scan);
    return judgeOutput(scan, context, "processing switched off and on " + std::to_string(kRounds) + " times");
}

Outcome setupInEveryState(CheckContext& context) {
    PluginUnderTest plugin(context.module);
    constexpr std::int32_t kLargest = 4096;
    BlockBuffers io(plugin, kLargest);
    SignalScan scan;
    // Freshly opened, before processing was ever switched on.
    plugin.setSampleRate(96000.0);
    plugin.setBlockSize(kLargest);
    plugin.resume();
    processNoise(plugin, io, context.random, kLargest, scan);
    // While processing is on, between blocks.
    plugin.setSampleRate(48000.0);
    plugin.setBlockSize(64);
    processNoise(plugin, io, context.random, 64, scan);
    // Switched off, then on again with new settings.
    plugin.suspend();
    plugin.setSampleRate(22050.0);
    plugin.setBlockSize(1024);
    plugin.resume();
    processNoise(plugin, io, context.random, 1024, scan);
    plugin.suspend();
    plugin.setSampleRate(44100.0);
    plugin.setBlockSize(512);
    return judgeOutput(scan, context, "sample rate and block size set before, while and after processing");
}

Outcome closeWhileProcessing(CheckContext& context) {
    PluginUnderTest plugin(context.module);
    plugin.start(44100.0, kBlock);
    BlockBuffers io(plugin, kBlock);
    SignalScan scan;
    processNoise(plugin, io, context.random, kBlock, scan);
    plugin.closeWhileProcessing();
    return passed("closed with processing still on");
}

Outcome unknownOpcodes(CheckContext& context) {
    PluginUnderTest plugin(context.module);
    constexpr std::int32_t kOpcodes[] = {-1, -1000, 80, 81, 255, 1000, 0x7FFFFFFF};
    Findings findings;
    for (const std::int32_t opcode : kOpcodes) {
        const std::intptr_t answer = plugin.dispatch(opcode);
        if (answer != 0)
            findings.add(warned("opcode " + std::to_string(opcode) + " answers " + std::to_string(answer) +
                                " where 0 says it is not understood"));
    }
    plugin.start(44100.0, kBlock);
    BlockBuffers io(plugin, kBlock);
    SignalScan scan;
    processNoise(plugin, io, context.random, kBlock, scan);
    const Outcome output = judgeOutput(scan, context, "unknown opcodes answer 0; afterwards");
    findings.add(output);
    return findings.outcome(output.message);
}

}  // namespace

CheckGroup lifecycleGroup() {
    return {"lifecycle",
            {
                {"lifecycle.open-close", 1, "100 instances opened and closed, then one processes", openClose},
                {"lifecycle.suspend-resume", 2, "processing switched off and on repeatedly, requests repeated",
                 suspendResume},
                {"lifecycle.setup-states", 2, "sample rate and block size set in every state", setupInEveryState},
                {"lifecycle.close-processing", 4, "closed without processing switched off first", closeWhileProcessing},
                {"lifecycle.unknown-opcodes", 6,
                 "opcodes no plug-in knows (negative, 80 and above) answer 0 and change nothing", unknownOpcodes},
            }};
}

}  // namespace vsthost::validate
