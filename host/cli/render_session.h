// The render that demo and render share: a source through a plug-in, or as
// it is, into a temporary file beside OUT that takes OUT's name only when the
// render succeeded, the plug-in closed cleanly and what it wrote is sound.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "command_line.h"
#include "host/audio/audio_stream.h"
#include "host/automation/automation_lane.h"
#include "host/song/song.h"

namespace vsthost {

class Plugin;

struct RenderJob {
    AudioSource* source = nullptr;
    AudioSource* sidechain = nullptr;
    std::string sourceName;  // "'in.wav'", for the summary and the picture
    int container = 0;
    int sampleFormat = 0;  // the source's, kept where the container allows
    std::vector<std::pair<int, std::string>> tags;
    std::int64_t tailFrames = 0;
    Song* song = nullptr;  // its tempo map is also the picture's time axis
};

// Sets up the open plug-in (parameters, warnings) and answers the automation
// it is to play.
using PluginSetUp = std::function<std::vector<AutomationLane>(Plugin& plugin)>;

// Loads the plug-in --plugin names, sets it up, renders and writes OUT.
void renderThroughPlugin(const RenderJob& job, const RenderSettingsOptions& options, const PluginSetUp& setUp);

// Writes the source as it is.
void renderAsItIs(const RenderJob& job, const RenderSettingsOptions& options);

}  // namespace vsthost
