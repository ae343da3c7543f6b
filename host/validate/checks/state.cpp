// State a host stores and restores: the chunk where the plug-in keeps its
// state in one (effFlagsProgramChunks), otherwise its parameter values; and
// its programs, switched, named and switched back, also while processing.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "frame/opcodes.h"
#include "host/plugin/lv2/lv2_plugin.h"
#include "host/text/counted.h"
#include "host/text/decimal_number.h"
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
// Values stored as text or in fewer bits come back this close.
constexpr double kTolerance = 1.0e-5;
// Further off than this a value is lost, not stored coarsely.
constexpr double kLost = 1.0e-3;
// A chunk larger than this is not something a host can store.
constexpr std::intptr_t kLargestChunk = std::intptr_t{1} << 30;
constexpr std::int32_t kMostPrograms = 64;

std::string display(PluginUnderTest& plugin, std::int32_t index) { return plugin.plugin().parameterDisplay(index); }

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

// The sound is compared over several random settings in one run, so that
// a fault that shows for some settings only is found whatever the seed.
constexpr int kDraws = 4;
// Both instances hear the same noise from their start; smoothing of values
// set before processing may differ for a while, so only what follows counts.
constexpr std::int32_t kSettle = 8192;
constexpr std::int32_t kCompared = 8192;
// Sound this far apart, relative to its peak (-60 dB), is another sound.
constexpr double kSoundTolerance = 1.0e-3;
// Quieter than this is silence: nothing to compare.
constexpr float kSilent = 1.0e-6f;

ChannelBuffers render(PluginUnderTest& plugin, const ChannelBuffers& input) {
    plugin.start(44100.0, kBlock);
    ChannelBuffers output(plugin.outputs(), input.frames());
    std::vector<float*> in(static_cast<std::size_t>(std::max(input.channels(), 1)));
    std::vector<float*> out(static_cast<std::size_t>(std::max(output.channels(), 1)));
    ChannelBuffers copy = input;  // a plug-in may write into its input
    for (std::int32_t offset = 0; offset < input.frames(); offset += kBlock) {
        for (std::size_t c = 0; c < in.size(); ++c) in[c] = copy.pointers()[c] + offset;
        for (std::size_t c = 0; c < out.size(); ++c) out[c] = output.pointers()[c] + offset;
        plugin.process(in.data(), out.data(), kBlock);
    }
    plugin.suspend();
    return output;
}

struct SoundGap {
    double largest = 0.0;
    std::int32_t frame = -1;
    float peak = 0.0f;  // of the first sound, where compared
    bool same(double tolerance) const { return largest <= tolerance * std::max(peak, kSilent); }
};

SoundGap soundGap(const ChannelBuffers& a, const ChannelBuffers& b) {
    SoundGap gap;
    for (std::int32_t c = 0; c < a.channels(); ++c)
        for (std::int32_t i = kSettle; i < a.frames(); ++i) {
            const float x = a.channel(c)[i];
            const float y = b.channel(c)[i];
            if (std::isfinite(x)) gap.peak = std::max(gap.peak, std::fabs(x));
            const double d = std::isfinite(x) && std::isfinite(y)         ? std::fabs(static_cast<double>(x) - y)
                             : (std::isnan(x) && std::isnan(y)) || x == y ? 0.0
                                                                          : INFINITY;
            if (!(d <= gap.largest)) {
                gap.largest = d;
                gap.frame = i;
            }
        }
    return gap;
}

// One draw: random settings, the saved instance's sound, its state restored
// into a fresh instance, and that one's sound.
struct Draw {
    std::string how;         // how the state was saved
    std::string failure;     // set when nothing could be restored
    std::int32_t count = 0;  // parameters
    Differences parameters;
    SoundGap sound;
    bool randomByDesign = false;  // two instances set alike sound otherwise
    std::string rounded;          // set when the store's rounding explains the sound
    SignalScan restored;
};

// An LV2 state keeps port values as text to so many decimals, and a plug-in
// can be that sensitive (an oscillator's phase drifts with its frequency).
// Where the store rounded a port, a twin given the values as they came back
// tells that from a plug-in that restored otherwise: what was rounded, or
// nothing.
std::string roundedByStore(CheckContext& context, Lv2Plugin& saved, Lv2Plugin& restored, const ChannelBuffers& input,
                           const ChannelBuffers& restoredSound) {
    std::string rounded;
    for (std::int32_t i = 0; i < saved.parameterCount(); ++i) {
        const double was = saved.parameterValue(i);
        const double is = restored.parameterValue(i);
        if (saved.parameterIsPort(i) && is != was && rounded.empty())
            rounded = "port " + saved.parameterSymbol(i) + " came back as " + numberText(static_cast<float>(is)) +
                      " for " + numberText(static_cast<float>(was));
    }
    if (rounded.empty()) return "";
    PluginUnderTest twin(context);
    for (std::int32_t i = 0; i < saved.parameterCount(); ++i)
        twin.lv2()->setParameterValueUnchecked(i, restored.parameterValue(i));
    return soundGap(restoredSound, render(twin, input)).same(kSoundTolerance) ? rounded : "";
}

Draw draw(CheckContext& context, const ChannelBuffers& input) {
    Draw d;
    PluginUnderTest source(context);
    const std::int32_t count = source.parameterCount();
    d.count = count;
    std::vector<float> values;
    for (std::int32_t i = 0; i < count; ++i) values.push_back(context.random.uniform(0.0f, 1.0f));
    for (std::int32_t i = 0; i < count; ++i) source.setParameter(i, values[static_cast<std::size_t>(i)]);
    const ChannelBuffers savedSound = render(source, input);
    const Snapshot saved = snapshot(source);

    PluginUnderTest target(context);
    if (source.lv2() != nullptr) {
        const std::string saved = source.lv2()->saveState();
        target.lv2()->restoreState(saved);
        d.how = "LV2 state (" + std::to_string(saved.size()) + " bytes of Turtle)";
    } else if ((source.effect()->flags & effFlagsProgramChunks) != 0) {
        void* data = nullptr;
        const std::intptr_t size = source.dispatch(effGetChunk, 0, 0, &data);
        if (size <= 0 || data == nullptr) {
            d.failure = "effFlagsProgramChunks is set, but effGetChunk gives no chunk (" + std::to_string(size) +
                        " bytes): a host can store nothing of the plug-in's state";
            return d;
        }
        if (size > kLargestChunk) {
            d.failure = "effGetChunk answers " + std::to_string(size) + " bytes, more than any host can store";
            return d;
        }
        // Hosts store a copy: the plug-in's buffer is its own again after the call.
        std::vector<char> chunk(static_cast<const char*>(data), static_cast<const char*>(data) + size);
        target.dispatch(effSetChunk, 0, size, chunk.data());
        d.how = "a bank chunk of " + std::to_string(size) + " bytes";
    } else {
        for (std::int32_t i = 0; i < count; ++i) target.setParameter(i, saved.values[static_cast<std::size_t>(i)]);
        d.how = "its parameter values (no chunks offered)";
    }
    // An LV2 plug-in's values are its ports', which the host keeps itself:
    // only its sound tells whether it restored what it saved.
    if (source.lv2() == nullptr) d.parameters = differences(saved, snapshot(target));
    const ChannelBuffers restoredSound = render(target, input);
    d.restored.add(restoredSound, restoredSound.frames());
    d.sound = soundGap(savedSound, restoredSound);
    if (!d.sound.same(kSoundTolerance)) {
        // Only a plug-in that repeats itself can be held to its sound.
        PluginUnderTest twin(context);
        for (std::int32_t i = 0; i < count; ++i) twin.setParameter(i, values[static_cast<std::size_t>(i)]);
        d.randomByDesign = !soundGap(savedSound, render(twin, input)).same(kSoundTolerance);
        if (!d.randomByDesign && source.lv2() != nullptr)
            d.rounded = roundedByStore(context, *source.lv2(), *target.lv2(), input, restoredSound);
    }
    return d;
}

Outcome restore(CheckContext& context) {
    const std::int32_t inputs = PluginUnderTest(context).inputs();
    ChannelBuffers input(inputs, kSettle + kCompared);
    fillNoise(input, context.random, kNoiseAmplitude, input.frames());
    Findings findings;
    int silent = 0;
    int random = 0;
    std::string rounded;  // the first draw whose sound the store's rounding explains
    std::string how;
    std::int32_t count = 0;
    for (int k = 1; k <= kDraws; ++k) {
        const Draw d = draw(context, input);
        if (!d.failure.empty()) return failed(d.failure);
        how = d.how;
        const std::string which = "draw " + std::to_string(k) + " of " + std::to_string(kDraws) + ": state saved as " +
                                  d.how + " and restored into a fresh instance";
        findings.add(judgeOutput(d.restored, context, which + ", processing", kOnlyFinite));
        const bool heard = d.sound.peak >= kSilent;
        silent += heard ? 0 : 1;
        random += d.randomByDesign ? 1 : 0;
        const bool judgedBySound = heard && !d.randomByDesign;
        if (!d.rounded.empty() && rounded.empty()) rounded = "in draw " + std::to_string(k) + ", " + d.rounded;
        if (judgedBySound && !d.sound.same(kSoundTolerance) && d.rounded.empty()) {
            findings.add(failed(which + " sounds otherwise: by up to " + threeFigures(d.sound.largest) +
                                " at a peak of " + threeFigures(d.sound.peak) + ", at frame " +
                                std::to_string(d.sound.frame) + " of the same input" +
                                (context.lv2 != nullptr      ? ""
                                 : d.parameters.text.empty() ? ", though every parameter reads back the same"
                                                             : "; " + d.parameters.text)));
        } else if (!d.parameters.text.empty()) {
            // The same sound from other values: the plug-in stores them
            // normalised, which a host shows as a change.
            findings.add(judgedBySound ? warned(which + " normalises: " + d.parameters.text +
                                                ", yet it sounds the same (within -60 dB of its peak)")
                                       : judged(d.parameters, context, which + ": "));
        }
        count = d.count;
    }
    if (!findings.empty()) return findings.outcome("");
    // An LV2 plug-in's values are the host's own: only the sound was compared.
    const bool byValues = context.lv2 == nullptr;
    const std::string done = std::to_string(kDraws) + " draws of " + counted(count, "parameter") +
                             " set at random, each saved as " + how + " and restored into a fresh instance" +
                             (byValues ? ": the values read back the same (within 1e-05, or shown alike)" : "");
    if (silent == kDraws)
        return skipped(done +
                       ", but both instances were silent for the same noise (an instrument given no notes?), "
                       "so their sound proves nothing");
    if (!byValues && random == kDraws)
        return skipped(done +
                       ", but two instances set alike sound otherwise (random by design), so the sound proves "
                       "nothing");
    if (random > 0)
        return passed(done + "; the sound cannot be compared in " + std::to_string(random) +
                      " of them: two instances set alike sound otherwise (random by design)");
    const std::string sound = done + ", and the restored instance sounds as the saved one (within -60 dB of its peak)";
    if (!rounded.empty())
        return passed(sound + " or as the values that came back from the state's text do (" + rounded +
                      ": the store rounds, not the plug-in)");
    return passed(sound);
}

void choose(PluginUnderTest& plugin, std::int32_t program) {
    plugin.dispatch(effBeginSetProgram);
    plugin.dispatch(effSetProgram, 0, program);
    plugin.dispatch(effEndSetProgram);
}

Outcome programs(CheckContext& context) {
    PluginUnderTest plugin(context);
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
    PluginUnderTest plugin(context);
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

// An LV2 plug-in's presets, each loaded (its state restored) between blocks
// while processing, as a user picks them in a host.
Outcome presets(CheckContext& context) {
    PluginUnderTest plugin(context);
    const std::vector<std::string> names = plugin.plugin().presets();
    if (names.empty()) return passed("no presets");
    plugin.start(44100.0, kBlock);
    BlockBuffers io(plugin, kBlock);
    SignalScan scan;
    std::size_t loaded = 0;
    for (; loaded < names.size() && loaded < kMostPrograms && !context.budget.spent(); ++loaded) {
        const std::string what = "after preset '" + names[loaded] + "' was loaded";
        noteContext(what.c_str());
        plugin.plugin().loadPreset(names[loaded]);
        for (int b = 0; b < 2; ++b) processNoise(plugin, io, context.random, kBlock, scan);
    }
    noteContext("");
    return judgeOutput(scan, context,
                       std::to_string(loaded) + " of " + counted(static_cast<std::int64_t>(names.size()), "preset") +
                           " loaded between blocks while processing",
                       kOnlyFinite);
}

}  // namespace

CheckGroup stateGroup() {
    return {"state",
            {
                {"state.restore", 2,
                 "4 draws of random parameters saved (as a chunk where offered, else as values; an LV2 plug-in's "
                 "through its state extension and ports) and restored into a fresh instance: it sounds as the saved "
                 "one (values read back otherwise a warning of normalisation; where the sound cannot be compared, "
                 "values off by more than 1e-3 fail, less from strictness 7)",
                 restore, 1, false, Formats::both},
                {"state.programs", 3,
                 "programs chosen in turn: effGetProgram follows, names within bounds, program 0 comes back "
                 "(a failure from strictness 7 for the last)",
                 programs},
                {"state.programs-processing", 4, "programs chosen between blocks while processing: output finite",
                 programsWhileProcessing},
                {"state.presets", 3, "presets loaded in turn between blocks while processing: output finite", presets,
                 1, false, Formats::lv2},
            }};
}

}  // namespace vsthost::validate
