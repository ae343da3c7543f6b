#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <optional>

#include "commands.h"
#include "host/audio/audio_file_reader.h"
#include "host/automation/automation_file.h"
#include "host/automation/resolved_automation.h"
#include "host/plugin/display_value.h"
#include "host/plugin/plugin_instance.h"
#include "host/text/decimal_number.h"
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

// Warns of what the command asks for but the render will not do.
void warnOfIneffectiveOptions(const RenderCommand& command, const TempoMap& tempo, const AudioFileReader& reader,
                              std::int64_t tailFrames, PluginInstance& plugin) {
    if (reader.frames() >= 0) {
        const double endBeat = tempo.beatAt(reader.frames() + tailFrames);
        for (const TempoChange& change : command.tempoChanges)
            if (change.beat >= endBeat)
                tellUser("warning: the tempo change to " + numberText(change.bpm) + " BPM at beat " +
                         numberText(change.beat) + " lies past the end of the render (beat " +
                         withoutTrailingZeros(std::to_string(endBeat)) + ") and changes nothing");
    }
    const double bpm = fastestTempo(command);
    for (std::int32_t i = 0; i < plugin.parameterCount(); ++i) {
        const std::string shown = trimmed(plugin.parameterDisplay(i));
        if (shown.rfind("1/", 0) != 0) continue;
        const std::optional<DisplayValue> note = parseDisplayValue(shown);
        if (!note || note->value <= 0.0) continue;
        const double samples = note->value * 4.0 * 60.0 / bpm * reader.sampleRate();
        if (samples < kShortestSweep)
            tellUser("warning: at " + numberText(bpm) + " BPM " + trimmed(plugin.parameterName(i)) + " " + shown +
                     " lasts " + withoutTrailingZeros(std::to_string(samples)) +
                     " samples, a modulation at audio rate that a tempo-synced sweep does not follow "
                     "(Dravelkint's stands still under 64); choose a longer note value or a lower tempo");
    }
}

// The parameters --set and the automation may not both decide.
void refuseSetAndAutomated(const PluginInstance& plugin, const std::vector<std::int32_t>& set,
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
    renderThroughPlugin(job, command.render, [&](PluginInstance& plugin) {
        const std::vector<std::int32_t> set = applySettings(plugin, command.render.settings);
        std::vector<AutomationLane> lanes = resolveAutomation(plugin, automation);
        refuseSetAndAutomated(plugin, set, lanes);
        warnOfIneffectiveOptions(command, song.tempo(), reader, tailFrames, plugin);
        return lanes;
    });
}

}  // namespace vsthost
