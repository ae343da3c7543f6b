#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <optional>

#include "commands.h"
#include "host/audio/audio_file_reader.h"
#include "host/automation/automation_file.h"
#include "host/automation/resolved_automation.h"
#include "host/plugin/display_value.h"
#include "host/plugin/plugin.h"
#include "host/song/beat_list.h"
#include "host/text/decimal_number.h"
#include "host/text/excerpt.h"
#include "host/text/failure.h"
#include "host/text/trimmed.h"
#include "output_paths.h"
#include "parameter_settings.h"
#include "render_report.h"
#include "render_session.h"

namespace vsthost {

namespace {

// A note value lasting fewer samples than this is modulation at audio rate,
// which no tempo-synced sweep follows (Dravelkint's stands still).
constexpr double kShortestSweep = 64.0;

double fastestTempo(const RenderCommand& command) {
    double bpm = command.bpm;
    for (const TempoChange& change : command.tempoChanges) bpm = std::max(bpm, change.bpm);
    return bpm;
}

// The samples a note value lasts at `bpm`, when `shown` is a note value.
std::optional<double> noteSamples(const std::string& shown, double bpm, double sampleRate) {
    if (shown.rfind("1/", 0) != 0) return std::nullopt;
    const std::optional<DisplayValue> note = parseDisplayValue(shown);
    if (!note || note->value <= 0.0) return std::nullopt;
    return note->value * 4.0 * 60.0 / bpm * sampleRate;
}

// `what` names the note value and leads into "lasts": "Period 1/64".
void warnOfStandStill(const std::string& what, double bpm, double samples) {
    tellUser("warning: at " + numberText(bpm) + " BPM " + what + " lasts " +
             withoutTrailingZeros(std::to_string(samples)) +
             " samples, a modulation at audio rate that a tempo-synced sweep does not follow "
             "(Dravelkint's stands still under 64); choose a longer note value or a lower tempo");
}

// Warns of what the command asks for but the render will not do.
void warnOfIneffectiveOptions(const RenderCommand& command, const TempoMap& tempo, const AudioFileReader& reader,
                              std::int64_t tailFrames, Plugin& plugin, const std::vector<AutomationLane>& lanes) {
    if (reader.frames() >= 0) {
        const double endBeat = tempo.beatAt(reader.frames() + tailFrames);
        for (const TempoChange& change : command.tempoChanges)
            if (change.beat >= endBeat)
                tellUser("warning: the tempo change to " + numberText(change.bpm) + " BPM at beat " +
                         numberText(change.beat) + " lies past the end of the render (beat " +
                         withoutTrailingZeros(std::to_string(endBeat)) + ") and changes nothing");
    }
    const double bpm = fastestTempo(command);
    const double rate = reader.sampleRate();
    for (std::int32_t i = 0; i < plugin.parameterCount(); ++i) {
        // An automated parameter never plays the value it holds now.
        if (std::any_of(lanes.begin(), lanes.end(), [i](const AutomationLane& lane) { return lane.parameter == i; }))
            continue;
        const std::string shown = trimmed(plugin.parameterDisplay(i));
        if (const auto samples = noteSamples(shown, bpm, rate); samples && *samples < kShortestSweep)
            warnOfStandStill(trimmed(plugin.parameterName(i)) + " " + shown, bpm, *samples);
    }
    // The shortest note value each stepped lane reaches.
    for (const AutomationLane& lane : lanes) {
        if (!lane.stepped) continue;
        const float before = plugin.parameter(lane.parameter);
        std::vector<float> values;
        for (const Keyframe& keyframe : lane.keyframes) values.push_back(keyframe.value);
        std::sort(values.begin(), values.end());
        values.erase(std::unique(values.begin(), values.end()), values.end());
        std::optional<double> shortest;
        std::string shortestShown;
        for (const float value : values) {
            plugin.setParameter(lane.parameter, value);
            const std::string shown = trimmed(plugin.parameterDisplay(lane.parameter));
            const auto samples = noteSamples(shown, bpm, rate);
            if (samples && (!shortest || *samples < *shortest)) shortest = samples, shortestShown = shown;
        }
        plugin.setParameter(lane.parameter, before);
        if (shortest && *shortest < kShortestSweep)
            warnOfStandStill("the automation of " + trimmed(plugin.parameterName(lane.parameter)) + " reaches " +
                                 shortestShown + ", which",
                             bpm, *shortest);
    }
}

// Keyframes before the song starts; where it starts is known only now that
// the whole command line is read.
void refuseEarlyKeyframes(const std::vector<LaneText>& lanes, double startBeat) {
    for (const LaneText& lane : lanes) {
        std::vector<double> beats;
        beats.reserve(lane.keyframes.size());
        for (const KeyframeText& keyframe : lane.keyframes) beats.push_back(keyframe.beat);
        if (const std::string problem = beatBeforeStartProblem(beats, startBeat); !problem.empty())
            throw Failure(FailureKind::usage, "automation of '" + excerpt(lane.parameter) + "': " + problem);
    }
}

// The parameters --set and the automation may not both decide.
void refuseSetAndAutomated(const Plugin& plugin, const std::vector<std::int32_t>& set,
                           const std::vector<AutomationLane>& lanes) {
    for (const AutomationLane& lane : lanes)
        if (std::find(set.begin(), set.end(), lane.parameter) != set.end())
            throw Failure(FailureKind::usage, "parameter '" + trimmed(plugin.parameterName(lane.parameter)) +
                                                  "' is both set and automated; the automation would decide its "
                                                  "value throughout, so give it as a keyframe instead of --set");
}

}  // namespace

void runRender(const RenderCommand& command) {
    AudioFileReader reader(command.input);
    std::vector<ReadFile> reads{{"input", command.input}};
    std::optional<AudioFileReader> sidechain;
    if (command.sidechain) {
        reads.push_back({"side-chain", *command.sidechain});
        sidechain.emplace(*command.sidechain);
        if (sidechain->sampleRate() != reader.sampleRate())
            throw Failure(FailureKind::input, "side-chain '" + *command.sidechain + "' is at " +
                                                  numberText(sidechain->sampleRate()) + " Hz and the input at " +
                                                  numberText(reader.sampleRate()) + " Hz; give both at one rate");
    }
    std::vector<LaneText> automation = command.automation;
    for (const std::string& file : command.automationFiles) {
        reads.push_back({"automation", file});
        std::vector<LaneText> lanes = readAutomationFile(file);
        automation.insert(automation.end(), lanes.begin(), lanes.end());
    }
    refuseEarlyKeyframes(automation, command.startBeat);
    Song song(TempoMap(reader.sampleRate(), command.bpm, command.tempoChanges, command.startBeat),
              command.timeSignature);
    const int container = checkOutput(command.render, reads);
    if (command.render.spectrogram) checkPictureOutput(command.render, reads);
    const std::int64_t tailFrames = std::llround(command.tailSeconds * reader.sampleRate());

    RenderJob job;
    job.source = &reader;
    job.sidechain = sidechain ? &*sidechain : nullptr;
    job.container = container;
    job.sampleFormat = reader.format() & SF_FORMAT_SUBMASK;
    job.tags = reader.tags();
    job.tailFrames = tailFrames;
    job.sourceName = command.input == "-" ? "standard input" : "'" + command.input + "'";
    job.song = &song;
    renderThroughPlugin(job, command.render, [&](Plugin& plugin) {
        const std::vector<std::int32_t> set = applySettings(plugin, command.render.settings);
        std::vector<std::string> notes;
        std::vector<AutomationLane> lanes = resolveAutomation(plugin, automation, &notes);
        refuseSetAndAutomated(plugin, set, lanes);
        for (const std::string& note : notes) tellUser(note);
        warnOfIneffectiveOptions(command, song.tempo(), reader, tailFrames, plugin, lanes);
        return lanes;
    });
}

}  // namespace vsthost
