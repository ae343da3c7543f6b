// The plug-in's parameters: values read back within 0 to 1, display texts
// within bounds at every value, output that survives automation, extremes
// and values no host should send.
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "frame/opcodes.h"
#include "host/plugin/lv2/lv2_plugin.h"
#include "host/text/counted.h"
#include "host/text/figures.h"
#include "host/validate/audio_probe.h"
#include "host/validate/call_in_progress.h"
#include "host/validate/catalogue.h"
#include "host/validate/findings.h"
#include "host/validate/plugin_under_test.h"
#include "host/validate/text_probe.h"

namespace vsthost::validate {

namespace {

constexpr std::int32_t kBlock = 512;
constexpr int kRandomValues = 6;

std::vector<float> probeValues(SeededRandom& random) {
    std::vector<float> values{0.0f, 1.0f};
    for (int i = 0; i < kRandomValues; ++i) values.push_back(random.uniform(0.0f, 1.0f));
    return values;
}

// What a run that the check's time may cut short says of itself: `whole`
// when it finished, else `part` and why it stopped.
std::string ranText(const CheckContext& context, bool finished, const std::string& whole, const std::string& part) {
    if (finished) return whole;
    return part + " (stopped when the check's " + secondsText(context.budget.seconds()) + " ran out)";
}

// Sets every parameter in turn to 0, 1 and the random values, hands each
// setting to `inspect` to add what it finds, and judges the findings; `what`
// says what held where nothing was found.
template <typename Inspect>
Outcome probeEveryParameter(CheckContext& context, const std::string& what, const Inspect& inspect) {
    PluginUnderTest plugin(context);
    const std::int32_t count = plugin.parameterCount();
    if (count <= 0) return passed("no parameters");
    Findings findings;
    for (std::int32_t i = 0; i < count; ++i)
        for (const float value : probeValues(context.random)) {
            plugin.setParameter(i, value);
            inspect(plugin, findings, i, value);
        }
    return findings.outcome(counted(count, "parameter") + " at 0, 1 and " + std::to_string(kRandomValues) +
                            " random values" + what);
}

Outcome readBack(CheckContext& context) {
    return probeEveryParameter(
        context, " read back within 0 to 1",
        [](PluginUnderTest& plugin, Findings& findings, std::int32_t i, float value) {
            const float back = plugin.getParameter(i);
            if (!(back >= 0.0f && back <= 1.0f))
                findings.add(failed("parameter " + std::to_string(i) + " set to " + sixFigures(value) + " reads back " +
                                    sixFigures(back) + ", outside 0 to 1"));
        });
}

Outcome displayTexts(CheckContext& context) {
    return probeEveryParameter(
        context, ": displays within " + std::to_string(kParameterTextBound) + " characters",
        [&](PluginUnderTest& plugin, Findings& findings, std::int32_t i, float value) {
            const WrittenText written =
                probeText([&](char* buffer) { plugin.dispatch(effGetParamDisplay, i, 0, buffer); });
            findings.add(judgeText(written, kParameterTextBound,
                                   "parameter " + std::to_string(i) + " display at " + sixFigures(value),
                                   context.strictness));
        });
}

Outcome extremes(CheckContext& context) {
    PluginUnderTest plugin(context);
    const std::int32_t count = plugin.parameterCount();
    plugin.start(44100.0, kBlock);
    BlockBuffers io(plugin, kBlock);
    std::vector<float> defaults;
    for (std::int32_t i = 0; i < count; ++i) defaults.push_back(plugin.getParameter(i));
    SignalScan scan;
    auto run = [&] {
        for (int b = 0; b < 4; ++b) processNoise(plugin, io, context.random, kBlock, scan);
    };
    for (const float everything : {0.0f, 1.0f}) {
        for (std::int32_t i = 0; i < count; ++i) plugin.setParameter(i, everything);
        run();
    }
    std::int32_t alone = 0;
    for (; alone < count && !context.budget.spent(); ++alone) {
        for (std::int32_t k = 0; k < count; ++k) plugin.setParameter(k, defaults[static_cast<std::size_t>(k)]);
        for (const float edge : {0.0f, 1.0f}) {
            plugin.setParameter(alone, edge);
            run();
        }
    }
    return judgeOutput(
        scan, context,
        ranText(context, alone == count, "all parameters at 0, at 1, and each alone at 0 and 1",
                "all parameters at 0, at 1, and the first " + std::to_string(alone) + " alone at 0 and 1"),
        kOnlyFinite);
}

Outcome automation(CheckContext& context) {
    constexpr std::int32_t kStep = 32;
    constexpr std::int32_t kFrames = 88200;
    PluginUnderTest plugin(context);
    const std::int32_t count = plugin.parameterCount();
    plugin.start(44100.0, kStep);
    BlockBuffers io(plugin, kStep);
    SignalScan scan;
    std::int32_t done = 0;
    for (; done < kFrames && !context.budget.spent(); done += kStep) {
        if (count > 0) {
            const int changes = context.random.between(1, 3);
            for (int k = 0; k < changes; ++k)
                plugin.setParameter(context.random.between(0, count - 1), context.random.uniform(0.0f, 1.0f));
        }
        processNoise(plugin, io, context.random, kStep, scan);
    }
    return judgeOutput(scan, context,
                       ranText(context, done >= kFrames, "random parameter changes every 32 frames for 2 s",
                               "random parameter changes every 32 frames for " + counted(done, "frame")),
                       kOnlyFinite);
}

Outcome outOfRange(CheckContext& context) {
    const float inf = std::numeric_limits<float>::infinity();
    // NaN last, and each value in an instance of its own, so that a plug-in
    // that cannot take NaN still shows what the others do to it.
    const float values[] = {-1.0f, 2.0f, -1.0e30f, 1.0e30f, -inf, inf, std::numeric_limits<float>::quiet_NaN()};
    if (PluginUnderTest(context).parameterCount() <= 0) return passed("no parameters");
    Findings findings;
    for (const float value : values) {
        PluginUnderTest plugin(context);
        const std::int32_t count = plugin.parameterCount();
        plugin.start(44100.0, kBlock);
        BlockBuffers io(plugin, kBlock);
        SignalScan scan;
        const std::string setting = "with every parameter set to " + sixFigures(value);
        noteContext(setting.c_str());
        for (std::int32_t i = 0; i < count; ++i) plugin.setParameter(i, value);
        for (int b = 0; b < 2; ++b) processNoise(plugin, io, context.random, kBlock, scan);
        // Back to a valid value: the plug-in must recover.
        noteContext((setting + ", then 0.5").c_str());
        for (std::int32_t i = 0; i < count; ++i) plugin.setParameter(i, 0.5f);
        for (int b = 0; b < 2; ++b) processNoise(plugin, io, context.random, kBlock, scan);
        noteContext("");
        findings.add(judgeOutput(scan, context, "every parameter set to " + sixFigures(value) + ", then 0.5",
                                 {false, false, context.failFrom(7)}));
    }
    return findings.outcome(
        "every parameter set to -1, 2, +-1e30, +-inf and NaN, each in a fresh instance: output finite, and after 0.5 "
        "again too");
}

// An LV2 host is asked to keep control values within their ranges, so what a
// plug-in does outside them is only ever a warning.
Outcome outOfRangeLv2(CheckContext& context) {
    if (PluginUnderTest(context).parameterCount() <= 0) return passed("no parameters");
    const double inf = std::numeric_limits<double>::infinity();
    // Each setting in an instance of its own, as for VST 2.4; the span a
    // range wide beyond either end, then the values no range holds.
    const std::vector<std::pair<std::string, std::function<double(double, double)>>> settings{
        {"a range below its minimum", [](double lo, double hi) { return lo - (hi - lo); }},
        {"a range above its maximum", [](double lo, double hi) { return hi + (hi - lo); }},
        {"-1e30", [](double, double) { return -1.0e30; }},
        {"1e30", [](double, double) { return 1.0e30; }},
        {"-inf", [inf](double, double) { return -inf; }},
        {"inf", [inf](double, double) { return inf; }},
        {"NaN", [](double, double) { return std::numeric_limits<double>::quiet_NaN(); }},
    };
    Findings findings;
    for (const auto& [name, valueFor] : settings) {
        PluginUnderTest plugin(context);
        Lv2Plugin& lv2 = *plugin.lv2();
        const std::int32_t count = plugin.parameterCount();
        plugin.start(44100.0, kBlock);
        BlockBuffers io(plugin, kBlock);
        SignalScan scan;
        const std::string setting = "with every control at " + name;
        noteContext(setting.c_str());
        for (std::int32_t i = 0; i < count; ++i) {
            const auto [lo, hi] = lv2.parameterRange(i);
            lv2.setParameterValueUnchecked(i, valueFor(lo, hi));
        }
        for (int b = 0; b < 2; ++b) processNoise(plugin, io, context.random, kBlock, scan);
        noteContext((setting + ", then at its middle").c_str());
        for (std::int32_t i = 0; i < count; ++i) plugin.setParameter(i, 0.5f);
        for (int b = 0; b < 2; ++b) processNoise(plugin, io, context.random, kBlock, scan);
        noteContext("");
        findings.add(judgeOutput(scan, context, "every control at " + name + ", then at its middle",
                                 {false, false, Verdict::warn}));
    }
    return findings.outcome(
        "every control a range below and above its range, at +-1e30, +-inf and NaN, each in a fresh instance: output "
        "finite, and after the middle again too");
}

Outcome foreignIndices(CheckContext& context) {
    PluginUnderTest plugin(context);
    const std::int32_t count = plugin.parameterCount();
    Findings findings;
    for (const std::int32_t index : {-1, count, count + 1000}) {
        plugin.setParameter(index, 0.5f);
        plugin.getParameter(index);
        for (const std::int32_t opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay}) {
            const WrittenText written = probeText([&](char* buffer) { plugin.dispatch(opcode, index, 0, buffer); });
            findings.add(judgeText(written, kParameterTextBound, "text of parameter " + std::to_string(index),
                                   context.strictness));
        }
    }
    plugin.start(44100.0, kBlock);
    BlockBuffers io(plugin, kBlock);
    SignalScan scan;
    processNoise(plugin, io, context.random, kBlock, scan);
    const Outcome output =
        judgeOutput(scan, context, "indices -1 and beyond the last are harmless; afterwards", kOnlyFinite);
    findings.add(output);
    return findings.outcome(output.message);
}

}  // namespace

CheckGroup parametersGroup() {
    return {
        "parameters",
        {
            {"parameters.read-back", 2, "every parameter at 0, 1 and random values reads back within 0 to 1", readBack},
            {"parameters.display-texts", 2, "display texts within 8 characters at each of those values", displayTexts},
            {"parameters.extremes", 3,
             "all parameters at 0 and 1 (an LV2 port's minimum and maximum), and each alone: output finite", extremes,
             1, false, Formats::both},
            {"parameters.automation", 3, "random automation every 32 frames: output finite", automation, 1, false,
             Formats::both},
            {"parameters.out-of-range", 5,
             "values outside 0 to 1, infinite and NaN keep the output finite and the plug-in alive (a failure from "
             "strictness 7)",
             outOfRange, 7},
            {"parameters.out-of-range", 7,
             "controls outside their ranges, infinite and NaN (hosts keep within the range, so only a warning): "
             "output finite and the plug-in alive",
             outOfRangeLv2, kMaxStrictness + 1, false, Formats::lv2},
            {"parameters.foreign-index", 8, "indices -1 and beyond the last are harmless", foreignIndices},
        }};
}

}  // namespace vsthost::validate
