#include <sndfile.h>

#include <cmath>

#include "automation_file.h"
#include "commands.h"
#include "host/audio/audio_file_reader.h"
#include "host/audio/render_loop.h"
#include "host/plugin/resolved_automation.h"
#include "host/text/failure.h"
#include "render_session.h"

namespace vsthost {

void runRender(const RenderCommand& command) {
    AudioFileReader reader(command.input);
    std::vector<LaneText> automation = command.automation;
    for (const std::string& file : command.automationFiles) {
        std::vector<LaneText> lanes = readAutomationFile(file);
        automation.insert(automation.end(), lanes.begin(), lanes.end());
    }
    const TempoMap tempo(reader.sampleRate(), command.bpm, command.tempoChanges, command.startBeat);
    if (reader.channels() > 2)
        throw Failure(FailureKind::input, "input '" + command.input + "' has " + std::to_string(reader.channels()) +
                                              " channels; only mono and stereo files can be rendered");
    const int container = checkOutput(command.render.output, &command.input, command.render.overwrite);
    if (command.render.spectrogram) checkPictureOutput(*command.render.spectrogram, command.render.overwrite);

    LoadedPlugin loaded(resolvePluginPath(command.render.plugin));
    checkChannelShape(loaded.instance, reader.channels());
    applySettings(loaded.instance, command.render.settings);
    Timeline timeline(tempo, resolveAutomation(loaded.instance, automation));
    loaded.host.transport = Transport(reader.sampleRate(), command.bpm, command.startBeat, command.timeSignature);

    RenderJob job;
    job.plugin = &loaded.instance;
    job.source = &reader;
    job.container = container;
    job.sampleFormat = reader.format() & SF_FORMAT_SUBMASK;
    job.tailFrames = std::llround(command.tailSeconds * reader.sampleRate());
    job.sourceName = "'" + command.input + "'";
    job.timeline = &timeline;
    job.signature = command.timeSignature;
    renderToFile(job, command.render);
}

}  // namespace vsthost
