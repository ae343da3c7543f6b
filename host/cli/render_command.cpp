#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>

#include "automation_file.h"
#include "commands.h"
#include "crash_handler.h"
#include "frame/effect_record.h"
#include "host/audio/audio_file_reader.h"
#include "host/audio/render_loop.h"
#include "host/plugin/display_value.h"
#include "host/plugin/resolved_automation.h"
#include "host/text/decimal_number.h"
#include "host/text/failure.h"
#include "host/text/trimmed.h"
#include "render_session.h"

namespace vsthost {

namespace {

// Dravelkint's sweep stands still when a period lasts under 64 samples.
constexpr std::int32_t kDravelkintId = fourCharCode('k', 'Z', 'r', 'n');
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
    if (plugin.uniqueId() != kDravelkintId || plugin.parameterCount() < 1) return;
    const std::optional<DisplayValue> period = parseDisplayValue(plugin.parameterDisplay(0));
    if (!period || period->value <= 0.0) return;
    const double bpm = fastestTempo(command);
    const double samples = period->value * 4.0 * 60.0 / bpm * reader.sampleRate();
    if (samples < kShortestSweep)
        tellUser("warning: at " + numberText(bpm) + " BPM a period of " + trimmed(plugin.parameterDisplay(0)) +
                 " lasts " + withoutTrailingZeros(std::to_string(samples)) +
                 " samples, under the 64 the sweep needs, so the sweep stands still; choose a longer Period or a "
                 "lower tempo");
}

}  // namespace

void runRender(const RenderCommand& command) {
    AudioFileReader reader(command.input);
    if (reader.promisedFrames() > reader.frames())
        tellUser(
            "warning: input '" + command.input + "' is cut short: its header promises " +
            withoutTrailingZeros(std::to_string(static_cast<double>(reader.promisedFrames()) / reader.sampleRate())) +
            " s, the file holds " +
            withoutTrailingZeros(std::to_string(static_cast<double>(reader.frames()) / reader.sampleRate())) +
            " s; rendering what is there");
    std::optional<AudioFileReader> sidechain;
    if (command.sidechain) {
        sidechain.emplace(*command.sidechain);
        if (sidechain->sampleRate() != reader.sampleRate())
            throw Failure(FailureKind::input, "side-chain '" + *command.sidechain + "' is at " +
                                                  numberText(sidechain->sampleRate()) + " Hz and the input at " +
                                                  numberText(reader.sampleRate()) + " Hz; give both at one rate");
    }
    std::vector<LaneText> automation = command.automation;
    for (const std::string& file : command.automationFiles) {
        std::vector<LaneText> lanes = readAutomationFile(file);
        automation.insert(automation.end(), lanes.begin(), lanes.end());
    }
    const TempoMap tempo(reader.sampleRate(), command.bpm, command.tempoChanges, command.startBeat);
    const int container = checkOutput(command.render, &command.input);
    if (command.render.spectrogram) checkPictureOutput(*command.render.spectrogram, command.render.overwrite);

    CallRecorder calls;
    CrashHandler crashes(calls, nothingWrittenTo(command.render));
    auto loaded = std::make_unique<LoadedPlugin>(resolvePluginPath(command.render.plugin), &calls);
    PluginInstance& plugin = loaded->instance;
    const std::vector<std::int32_t> set = applySettings(plugin, command.render.settings);
    std::vector<AutomationLane> lanes = resolveAutomation(plugin, automation);
    for (const AutomationLane& lane : lanes)
        if (std::find(set.begin(), set.end(), lane.parameter) != set.end())
            throw Failure(FailureKind::usage, "parameter '" + trimmed(plugin.parameterName(lane.parameter)) +
                                                  "' is both set and automated; the automation would decide its "
                                                  "value throughout, so give it as a keyframe instead of --set");
    const std::int64_t tailFrames = std::llround(command.tailSeconds * reader.sampleRate());
    warnOfIneffectiveOptions(command, tempo, reader, tailFrames, plugin);
    Timeline timeline(tempo, std::move(lanes));
    loaded->host.transport = Transport(reader.sampleRate(), command.bpm, command.startBeat, command.timeSignature);

    RenderJob job;
    job.plugin = &plugin;
    job.calls = &calls;
    job.crashes = &crashes;
    job.release = [&loaded] { loaded.reset(); };
    job.source = &reader;
    job.sidechain = sidechain ? &*sidechain : nullptr;
    job.container = container;
    job.sampleFormat = reader.format() & SF_FORMAT_SUBMASK;
    job.tags = reader.tags();
    job.tailFrames = tailFrames;
    job.sourceName = command.input == "-" ? "standard input" : "'" + command.input + "'";
    job.timeline = &timeline;
    job.signature = command.timeSignature;
    renderToFile(job, command.render);
}

}  // namespace vsthost
