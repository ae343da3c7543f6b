// The steps the rendering commands share: finding the plug-in, checking the
// output path before anything is written, applying --set options, and
// rendering into a temporary file that becomes the output only when the
// render succeeded, the plug-in closed without crashing and what it wrote
// is sound.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "command_line.h"
#include "host/audio/audio_stream.h"
#include "host/plugin/call_recorder.h"
#include "host/plugin/host_callback.h"
#include "host/plugin/plugin_instance.h"
#include "host/plugin/plugin_location.h"
#include "host/plugin/plugin_module.h"
#include "host/song/timeline.h"

namespace vsthost {

// A plug-in loaded with its own host: the module outlives the instance.
// A watcher, such as the CallRecorder a CrashHandler reads, hears of every
// call into it, the entry point's included, and must outlive it.
struct LoadedPlugin {
    explicit LoadedPlugin(const std::string& path, CallWatcher* watcher = nullptr)
        : module(path), instance(module, host, watcher) {}
    PluginModule module;
    HostCallback host;
    PluginInstance instance;
};

class CrashHandler;

// How a crash message ends for a render into `options.output`.
std::string nothingWrittenTo(const RenderSettingsOptions& options);

// Refuses an output that is the input, exists without --overwrite, has an
// unknown extension or lies in a directory that cannot be written; "-"
// (standard output) needs a format that streams. Answers the container to
// write: --format's when given, else the extension's.
int checkOutput(const RenderSettingsOptions& options, const std::string* input);

// Refuses a picture output that exists without --overwrite, is not .png or
// lies in a directory that cannot be written.
void checkPictureOutput(const std::string& output, bool overwrite);

// Sets every --set and --set-normalized, refusing a parameter set twice, and
// says what a value landed on when its display shows another number.
// Answers the parameters it set.
std::vector<std::int32_t> applySettings(PluginInstance& plugin, const std::vector<ParameterSetting>& settings);

// A note or warning for the user on standard error.
void tellUser(const std::string& text);

struct RenderJob {
    PluginInstance* plugin = nullptr;  // null: the source is written as it is
    const CallRecorder* calls = nullptr;
    CrashHandler* crashes = nullptr;  // told of the temporary file, disarmed once the output stands
    // Closes and unloads the plug-in once it has rendered, before the output
    // takes its name, so that a crash at close leaves nothing behind.
    std::function<void()> release;
    AudioSource* source = nullptr;
    AudioSource* sidechain = nullptr;
    int container = 0;
    int sampleFormat = 0;  // the source's, kept where the container allows
    std::vector<std::pair<int, std::string>> tags;
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
