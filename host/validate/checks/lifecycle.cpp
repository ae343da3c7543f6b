// Opening, closing, switching processing on and off, and set-up requests in
// every state, with audio in between to show the instance still works; and
// the process's locale, which a plug-in must leave as it found it.
#include <locale.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <string>

#include "frame/opcodes.h"
#include "host/plugin/lv2/lv2_plugin.h"
#include "host/text/counted.h"
#include "host/validate/audio_probe.h"
#include "host/validate/call_in_progress.h"
#include "host/validate/catalogue.h"
#include "host/validate/findings.h"
#include "host/validate/plugin_under_test.h"

namespace vsthost::validate {

namespace {

constexpr std::int32_t kBlock = 256;

Outcome openClose(CheckContext& context) {
    constexpr int kRounds = 100;
    int round = 0;
    for (; round < kRounds && !context.budget.spent(); ++round) {
        PluginUnderTest plugin(context);
        // An LV2 plug-in is instantiated when processing starts; every other
        // one is never activated, as hosts scanning their plug-ins do.
        if (plugin.lv2() != nullptr && round % 2 == 1) {
            plugin.lv2()->prepare(44100.0, kBlock);
        } else if (plugin.lv2() != nullptr) {
            plugin.start(44100.0, kBlock);
            plugin.suspend();
        }
    }
    // The instances must also work after all that.
    PluginUnderTest plugin(context);
    plugin.start(44100.0, kBlock);
    BlockBuffers io(plugin, kBlock);
    SignalScan scan;
    processNoise(plugin, io, context.random, kBlock, scan);
    char budget[80] = "";
    if (round < kRounds)
        std::snprintf(budget, sizeof budget, " (of %d: the check's %g s ran out)", kRounds, context.budget.seconds());
    return judgeOutput(scan, context,
                       counted(round, "instance") + " opened and closed" + budget + ", then one processed");
}

Outcome suspendResume(CheckContext& context) {
    constexpr int kRounds = 50;
    PluginUnderTest plugin(context);
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

// A change of sample rate or block size as hosts make it: processing
// switched off, the setting changed, processing switched on again.
struct SetupStep {
    double rate;
    std::int32_t block;
};

Outcome setupInEveryState(CheckContext& context) {
    // Each change alone: the rate down, the block down, the rate up, both.
    constexpr SetupStep kSteps[] = {{96000.0, 4096}, {22050.0, 4096}, {22050.0, 64},
                                    {88200.0, 64},   {44100.0, 1024}, {48000.0, 16}};
    PluginUnderTest plugin(context);
    BlockBuffers io(plugin, 4096);
    SignalScan scan;
    // Set before processing was ever switched on.
    plugin.setSampleRate(kSteps[0].rate);
    plugin.setBlockSize(kSteps[0].block);
    plugin.resume();
    for (int b = 0; b < 4; ++b) processNoise(plugin, io, context.random, kSteps[0].block, scan);
    for (std::size_t i = 1; i < std::size(kSteps); ++i) {
        const SetupStep& from = kSteps[i - 1];
        const SetupStep& to = kSteps[i];
        char change[120];
        std::snprintf(change, sizeof change, "after processing was switched off, set from %g Hz/%d to %g Hz/%d and on",
                      from.rate, from.block, to.rate, to.block);
        noteContext(change);
        plugin.suspend();
        if (to.rate != from.rate) plugin.setSampleRate(to.rate);
        if (to.block != from.block) plugin.setBlockSize(to.block);
        plugin.resume();
        for (int b = 0; b < 4; ++b) processNoise(plugin, io, context.random, to.block, scan);
    }
    noteContext("");
    plugin.suspend();
    return judgeOutput(scan, context,
                       "sample rate and block size set before processing, then changed one at a time with "
                       "processing switched off");
}

Outcome setupWhileProcessing(CheckContext& context) {
    PluginUnderTest plugin(context);
    BlockBuffers io(plugin, 4096);
    SignalScan scan;
    plugin.start(96000.0, 4096);
    processNoise(plugin, io, context.random, 4096, scan);
    noteContext("after the rate and block size were changed while processing was on");
    plugin.setSampleRate(48000.0);
    plugin.setBlockSize(64);
    for (int b = 0; b < 4; ++b) processNoise(plugin, io, context.random, 64, scan);
    plugin.setSampleRate(22050.0);
    plugin.setBlockSize(1024);
    for (int b = 0; b < 4; ++b) processNoise(plugin, io, context.random, 1024, scan);
    noteContext("");
    return judgeOutput(scan, context,
                       "sample rate and block size changed while processing is on (out of protocol: hosts switch "
                       "processing off first)");
}

Outcome closeWhileProcessing(CheckContext& context) {
    PluginUnderTest plugin(context);
    plugin.start(44100.0, kBlock);
    BlockBuffers io(plugin, kBlock);
    SignalScan scan;
    processNoise(plugin, io, context.random, kBlock, scan);
    plugin.closeWhileProcessing();
    return passed("closed with processing still on");
}

Outcome unknownOpcodes(CheckContext& context) {
    PluginUnderTest plugin(context);
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

// The process's locale, and whether the calling thread has one of its own.
std::string localeNow() {
    const char* all = std::setlocale(LC_ALL, nullptr);
    std::string text = all != nullptr ? all : "?";
    if (::uselocale(static_cast<locale_t>(nullptr)) != LC_GLOBAL_LOCALE) text += " (and a thread locale of its own)";
    return text;
}

Outcome localeUnchanged(CheckContext& context) {
    // This program never sets its locale: until a plug-in does, it is "C",
    // whatever earlier checks in this process did.
    const std::string before = "C";
    Findings findings;
    auto look = [&](const char* when) {
        const std::string now = localeNow();
        if (now != before)
            findings.add(failed("the locale changed from \"" + before + "\" to \"" + now + "\" " + when +
                                ": a host that writes or reads numbers as text now gets them wrong"));
    };
    {
        PluginUnderTest plugin(context);
        look("when the plug-in was opened");
        plugin.start(44100.0, kBlock);
        BlockBuffers io(plugin, kBlock);
        SignalScan scan;
        for (int b = 0; b < 4; ++b) processNoise(plugin, io, context.random, kBlock, scan);
        look("while it processed");
        for (std::int32_t i = 0; i < std::min(plugin.parameterCount(), 64); ++i) plugin.plugin().parameterDisplay(i);
        look("when it wrote its parameters' displays");
    }
    look("when it was closed");
    return findings.outcome("the locale stays \"" + before + "\" through opening, processing, displays and closing");
}

}  // namespace

CheckGroup lifecycleGroup() {
    return {"lifecycle",
            {
                {"lifecycle.open-close", 1,
                 "100 instances opened and closed (an LV2 one instantiated, activated and deactivated), then one "
                 "processes",
                 openClose, 1, false, Formats::both},
                {"lifecycle.suspend-resume", 2, "processing switched off and on repeatedly, requests repeated",
                 suspendResume, 1, false, Formats::both},
                {"lifecycle.setup-states", 2,
                 "sample rate and block size set before processing, then each changed with processing off",
                 setupInEveryState, 1, false, Formats::both},
                {"lifecycle.setup-while-processing", 8,
                 "sample rate and block size changed while processing is on (out of protocol)", setupWhileProcessing},
                {"lifecycle.close-processing", 4, "closed without processing switched off first", closeWhileProcessing},
                {"lifecycle.locale", 2, "the process locale is the same after opening, processing and closing",
                 localeUnchanged, 1, false, Formats::both},
                {"lifecycle.unknown-opcodes", 6,
                 "opcodes no plug-in knows (negative, 80 and above) answer 0 and change nothing", unknownOpcodes},
            }};
}

}  // namespace vsthost::validate
