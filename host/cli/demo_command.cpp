#include <sndfile.h>

#include <array>
#include <string_view>
#include <vector>

#include "commands.h"
#include "host/audio/demo_signal.h"
#include "host/plugin/parameter_search.h"
#include "host/plugin/plugin.h"
#include "host/text/failure.h"
#include "output_paths.h"
#include "parameter_settings.h"
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

void applyDemoSettings(Plugin& plugin, bool ownPlugin) {
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

// The demo signal is stereo; a plug-in of one main input needs a file of the user's.
void checkTakesTheDemoSignal(const Plugin& plugin) {
    const InputPins pins = plugin.inputPins();
    // Where every input is a side-chain, they are fed as main inputs.
    const std::int32_t mains = pins.mainCount() > 0 ? pins.mainCount() : pins.sidechainCount();
    if (mains == 1)
        throw Failure(FailureKind::plugin,
                      "the plug-in takes 1 main input and the demo signal is stereo; give it a mono file of your own "
                      "with dravelkint render IN OUT --plugin PATH");
}

}  // namespace

void runDemo(const DemoCommand& command) {
    const int container = checkOutput(command.render, {});
    if (command.render.spectrogram) checkPictureOutput(command.render, {});
    DemoSignal signal(command.bars);
    Song song(TempoMap(signal.sampleRate(), DemoSignal::kTempo));
    RenderJob job;
    job.source = &signal;
    job.container = container;
    job.sampleFormat = SF_FORMAT_FLOAT;
    job.sourceName = "the demo signal";
    job.song = &song;
    if (command.dry) {
        renderAsItIs(job, command.render);
        return;
    }
    renderThroughPlugin(job, command.render, [&](Plugin& plugin) {
        checkTakesTheDemoSignal(plugin);
        applyDemoSettings(plugin, !command.render.plugin.has_value());
        applySettings(plugin, command.render.settings);
        return std::vector<AutomationLane>{};
    });
}

}  // namespace vsthost
