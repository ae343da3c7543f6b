// State a host stores and restores: the chunk where the plug-in keeps its
// state in one (effFlagsProgramChunks), otherwise its parameter values; and
// its programs, switched, named and switched back, also while processing.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "frame/opcodes.h"
#include "host/text/counted.h"
#include "host/text/figures.h"
#include "host/validate/audio_probe.h"
#include "host/validate/catalogue.h"
#include "host/validate/findings.h"
#include "host/validate/plugin_under_test.h"
#include "host/validate/text_probe.h"

namespace vsthost::validate {

namespace {

constexpr std::int32_t kBlock = 512;
// Values stored as text or in fewer bits come back this close.
constexpr double kTolerance = 1.0e-5;
// Further off than this a value is lost, not stored coarsely.
constexpr double kLost = 1.0e-3;
// A chunk larger than this is not something a host can store.
constexpr std::intptr_t kLargestChunk = std::intptr_t{1} << 30;
constexpr std::int32_t kMostPrograms = 64;

std::string display(PluginUnderTest& plugin, std::int32_t index) {
    char text[512] = {};
    plugin.dispatch(effGetParamDisplay, index, 0, text);
    text[sizeof text - 1] = '\0';
    return text;
}

struct Snapshot {
    std::vector<float> values;
    std::vector<std::string> displays;
};

Snapshot snapshot(PluginUnderTest& plugin) {
    Snapshot s;
    for (std::int32_t i = 0; i < plugin.parameterCount(); ++i) {
        s.values.push_back(plugin.getParameter(i));
        s.displays.push_back(display(plugin, i));
    }
    return s;
}

struct Differences {
    std::string text;  // empty when there are none
    double largest = 0.0;
};

// Nothing when `now` holds what `saved` did: every value within the
// tolerance, or shown as the same text (stepped values come back snapped to
// their steps). Otherwise how many differ, the worst, and by how much.
Differences differences(const Snapshot& saved, const Snapshot& now) {
    int differing = 0;
    Differences d;
    std::string worst;
    for (std::size_t i = 0; i < saved.values.size() && i < now.values.size(); ++i) {
        const float a = saved.values[i];
        const float b = now.values[i];
        const double gap = std::fabs(static_cast<double>(a) - b);
        if (gap <= kTolerance || (a != a && b != b)) continue;
        if (!saved.displays[i].empty() && saved.displays[i] == now.displays[i]) continue;
        ++differing;
        if (!(gap <= d.largest)) {
            d.largest = gap;
            worst = "parameter " + std::to_string(i) + " reads " + sixFigures(b) + " where " + sixFigures(a) +
                    " was saved (shown \"" + now.displays[i] + "\" against \"" + saved.displays[i] + "\")";
        }
    }
    if (differing > 0)
        d.text = std::to_string(differing) + " of " + std::to_string(saved.values.size()) +
                 " parameters read back otherwise, the worst: " + worst;
    return d;
}

// A value lost is a failure; one stored a little coarsely only from 7.
Outcome judged(const Differences& d, const CheckContext& context, const std::string& what) {
    return {d.largest > kLost ? Verdict::fail : context.failFrom(7), what + d.text};
}

Outcome restore(CheckContext& context) {
    PluginUnderTest source(context.module);
    const std::int32_t count = source.parameterCount();
    for (std::int32_t i = 0; i < count; ++i) source.setParameter(i, context.random.uniform(0.0f, 1.0f));
    source.start(44100.0, kBlock);
    BlockBuffers io(source, kBlock);
    SignalScan scan;
    for (int b = 0; b < 4; ++b) processNoise(source, io, context.random, kBlock, scan);
    source.suspend();
    const Snapshot saved = snapshot(source);

    PluginUnderTest target(context.module);
    std::string what;
    if ((source.effect()->flags & effFlagsProgramChunks) != 0) {
        void* data = nullptr;
        const std::intptr_t size = source.dispatch(effGetChunk, 0, 0, &data);
        if (size <= 0 || data == nullptr)
            return failed("effFlagsProgramChunks is set, but effGetChunk gives no chunk (" + std::to_string(size) +
                          " bytes): a host can store nothing of the plug-in's state");
        if (size > kLargestChunk)
            return failed("effGetChunk answers " + std::to_string(size) + " bytes, more than any host can store");
        // Hosts store a copy: the plug-in's buffer is its own again after the call.
        std::vector<char> chunk(static_cast<const char*>(data), static_cast<const char*>(data) + size);
        target.dispatch(effSetChunk, 0, size, chunk.data());
        what = "a bank chunk of " + std::to_string(size) + " bytes";
    } else {
        for (std::int32_t i = 0; i < count; ++i) target.setParameter(i, saved.values[static_cast<std::size_t>(i)]);
        what = "its parameter values (no chunks offered)";
    }
    const Differences differ = differences(saved, snapshot(target));
    if (!differ.text.empty())
        return judged(differ, context, "state saved as " + what + " and restored into a fresh instance: ");
    target.start(44100.0, kBlock);
    BlockBuffers out(target, kBlock);
    SignalScan restored;
    for (int b = 0; b < 4; ++b) processNoise(target, out, context.random, kBlock, restored);
    const Outcome output = judgeOutput(restored, context, "after restoring", kOnlyFinite);
    if (output.verdict != Verdict::pass) return output;
    return passed(counted(count, "parameter") + " set at random, saved as " + what +
                  " and restored into a fresh instance read back the same (within 1e-05, or shown alike)");
}

void choose(PluginUnderTest& plugin, std::int32_t program) {
    plugin.dispatch(effBeginSetProgram);
    plugin.dispatch(effSetProgram, 0, program);
    plugin.dispatch(effEndSetProgram);
}

Outcome programs(CheckContext& context) {
    PluginUnderTest plugin(context.module);
    const std::int32_t count = plugin.effect()->numPrograms;
    if (count <= 1) return passed(counted(std::max(count, 0), "program") + ": nothing to switch");
    const std::int32_t tried = std::min(count, kMostPrograms);
    Findings findings;
    choose(plugin, 0);
    const Snapshot first = snapshot(plugin);
    int wrong = 0;
    std::string firstWrong;
    std::int32_t p = 0;
    for (; p < tried && !context.budget.spent(); ++p) {
        choose(plugin, p);
        const auto answer = plugin.dispatch(effGetProgram);
        if (answer != p && wrong++ == 0)
            firstWrong = "effGetProgram answers " + std::to_string(answer) + " after program " + std::to_string(p) +
                         " was chosen";
        const WrittenText name = probeText([&](char* buffer) { plugin.dispatch(effGetProgramName, 0, 0, buffer); });
        findings.add(
            judgeText(name, kProgramNameBound, "program " + std::to_string(p) + "'s name", context.strictness));
        const WrittenText indexed =
            probeText([&](char* buffer) { plugin.dispatch(effGetProgramNameIndexed, p, -1, buffer); });
        findings.add(judgeText(indexed, kProgramNameBound, "program " + std::to_string(p) + "'s indexed name",
                               context.strictness));
    }
    if (wrong > 0)
        findings.add(failed(firstWrong + " (" + std::to_string(wrong) + " of " + std::to_string(p) +
                            " programs): a host stores the wrong program"));
    choose(plugin, 0);
    const Differences back = differences(first, snapshot(plugin));
    if (!back.text.empty()) findings.add({context.failFrom(7), "back at program 0 after the others, " + back.text});
    return findings.outcome(std::to_string(p) + " of " + counted(count, "program") +
                            " chosen in turn: effGetProgram follows, names within " +
                            std::to_string(kProgramNameBound) + " characters, program 0 comes back as it was");
}

Outcome programsWhileProcessing(CheckContext& context) {
    PluginUnderTest plugin(context.module);
    const std::int32_t count = plugin.effect()->numPrograms;
    if (count <= 1) return passed(counted(std::max(count, 0), "program") + ": nothing to switch");
    plugin.start(44100.0, kBlock);
    BlockBuffers io(plugin, kBlock);
    SignalScan scan;
    std::int32_t p = 0;
    for (; p < std::min(count, kMostPrograms) && !context.budget.spent(); ++p) {
        choose(plugin, p);
        for (int b = 0; b < 2; ++b) processNoise(plugin, io, context.random, kBlock, scan);
    }
    choose(plugin, 0);
    processNoise(plugin, io, context.random, kBlock, scan);
    return judgeOutput(scan, context, counted(p, "program") + " chosen between blocks while processing", kOnlyFinite);
}

}  // namespace

CheckGroup stateGroup() {
    return {"state",
            {
                {"state.restore", 2,
                 "random parameters saved (as a chunk where offered, else as values) and restored into a fresh "
                 "instance read back the same (within 1e-3 a failure only from strictness 7)",
                 restore},
                {"state.programs", 3,
                 "programs chosen in turn: effGetProgram follows, names within bounds, program 0 comes back "
                 "(a failure from strictness 7 for the last)",
                 programs},
                {"state.programs-processing", 4, "programs chosen between blocks while processing: output finite",
                 programsWhileProcessing},
            }};
}

}  // namespace vsthost::validate
