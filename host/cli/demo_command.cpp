#include <sndfile.h>

#include <array>
#include <memory>
#include <string_view>

#include "commands.h"
#include "crash_handler.h"
#include "host/audio/demo_signal.h"
#include "host/audio/render_loop.h"
#include "host/plugin/parameter_search.h"
#include "host/text/failure.h"
#include "render_session.h"

namespace vsthost {

namespace {

struct DemoSetting {
    std::string_view name;
    std::string_view value;
};

// An eighth-note wobble from a dark 250 Hz up to 4 kHz, fairly resonant.
constexpr std::array<DemoSetting, 5> kDemoSettings{
    DemoSetting{"Period", "1/8"}, DemoSetting{"Freq 1", "250"}, DemoSetting{"Freq 2", "4000"},
    DemoSetting{"Q", "4.0"},      DemoSetting{"Mix", "100"},
};

void applyDemoSettings(PluginInstance& plugin, bool ownPlugin) {
    for (const DemoSetting& s : kDemoSettings) {
        std::int32_t index = -1;
        try {
            index = findParameter(plugin, s.name);
        } catch (const Failure&) {
            // Another plug-in need not have these parameters; ours must.
            if (ownPlugin) throw;
            continue;
        }
        setParameterByDisplay(plugin, index, s.value);
    }
}

}  // namespace

void runDemo(const DemoCommand& command) {
    const int container = checkOutput(command.render, nullptr);
    if (command.render.spectrogram) checkPictureOutput(*command.render.spectrogram, command.render.overwrite);
    DemoSignal signal(command.bars);
    Timeline timeline(TempoMap(signal.sampleRate(), DemoSignal::kTempo), {});
    RenderJob job;
    job.source = &signal;
    job.container = container;
    job.sampleFormat = SF_FORMAT_FLOAT;
    job.sourceName = "the demo signal";
    job.timeline = &timeline;
    if (command.dry) {
        renderToFile(job, command.render);
        return;
    }
    CallRecorder calls;
    CrashHandler crashes(calls, nothingWrittenTo(command.render));
    auto loaded = std::make_unique<LoadedPlugin>(resolvePluginPath(command.render.plugin), &calls);
    applyDemoSettings(loaded->instance, !command.render.plugin.has_value());
    applySettings(loaded->instance, command.render.settings);
    loaded->host.transport = Transport(signal.sampleRate(), DemoSignal::kTempo);
    job.plugin = &loaded->instance;
    job.calls = &calls;
    job.crashes = &crashes;
    job.release = [&loaded] { loaded.reset(); };
    renderToFile(job, command.render);
}

}  // namespace vsthost
