// The steps the rendering commands share: finding the plug-in, checking the
// output path before anything is written, applying --set options, and
// rendering into a temporary file that becomes the output on success.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "command_line.h"
#include "host/audio/audio_stream.h"
#include "host/plugin/host_callback.h"
#include "host/plugin/plugin_instance.h"
#include "host/plugin/plugin_location.h"
#include "host/plugin/plugin_module.h"
#include "host/song/timeline.h"

namespace vsthost {

// A plug-in loaded with its own host: the module outlives the instance.
struct LoadedPlugin {
    explicit LoadedPlugin(const std::string& path) : module(path), instance(module, host) {}
    PluginModule module;
    HostCallback host;
    PluginInstance instance;
};

// Refuses an output that is the input, exists without --overwrite, has an
// unknown extension or lies in a directory that cannot be written. Answers
// the container to write.
int checkOutput(const std::string& output, const std::string* input, bool overwrite);

// Refuses a picture output that exists without --overwrite, is not .png or
// lies in a directory that cannot be written.
void checkPictureOutput(const std::string& output, bool overwrite);

void applySettings(PluginInstance& plugin, const std::vector<ParameterSetting>& settings);

struct RenderJob {
    PluginInstance* plugin = nullptr;  // null: the source is written as it is
    AudioSource* source = nullptr;
    int container = 0;
    int sampleFormat = 0;  // the source's, kept where the container allows
    std::int64_t tailFrames = 0;
    std::string sourceName;  // for the summary
    // Tempo and automation (null: the transport as set); its tempo map is
    // also the time axis of the spectrogram.
    Timeline* timeline = nullptr;
    TimeSignature signature{};
};

// Renders and prints the summary line. The plug-in must not be started yet.
void renderToFile(const RenderJob& job, const RenderSettingsOptions& options);

}  // namespace vsthost
