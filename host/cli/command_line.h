// What the user asked for, read from the command line. Every command walks
// its arguments alike: an option takes its value joined with '=' or as the
// next argument, "--" ends the options, and --help anywhere before it asks
// for the command's help. Every malformed option is a Failure (usage) that
// names it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "host/automation/automation_text.h"
#include "host/picture/render_picture.h"
#include "host/song/tempo_map.h"
#include "host/song/transport.h"

namespace vsthost {

struct ParameterSetting {
    std::string name;
    std::string value;
    bool normalized = false;
    bool preset = false;  // --preset: `value` names a preset to load before any --set
};

// Options shared by the commands that render.
struct RenderSettingsOptions {
    std::string output;
    std::optional<std::string> plugin;
    std::vector<ParameterSetting> settings;
    std::int32_t blockSize = 512;
    bool overwrite = false;
    bool quiet = false;
    std::optional<std::string> spectrogram;  // a PNG picture of the output
    PictureSize spectrogramSize;
    bool keepBadOutput = false;  // write non-finite or absurd output all the same
    bool compensateLatency = true;
    std::int32_t channels = 0;                // the plug-in's first N outputs; 0 for all
    std::optional<std::string> sampleFormat;  // --sample-format: 16, 24, 32, float, double, 8
    std::optional<std::string> format;        // --format: an extension, for "-" or against OUT's own
    std::optional<double> quality;            // --quality: 0 to 1, for mp3, ogg and opus
};

struct RenderCommand {
    std::string input;
    RenderSettingsOptions render;
    double bpm = 120.0;
    double startBeat = 0.0;
    TimeSignature timeSignature{};
    double tailSeconds = 0.0;
    std::vector<LaneText> automation;          // --automate, one lane each
    std::vector<std::string> automationFiles;  // --automation
    std::vector<TempoChange> tempoChanges;     // --tempo-map
    std::optional<std::string> sidechain;      // an audio file for the plug-in's side-chain inputs
};

struct DemoCommand {
    RenderSettingsOptions render;
    std::int32_t bars = 8;
    bool dry = false;
};

struct InfoCommand {
    std::optional<std::string> plugin;
    std::vector<ParameterSetting> settings;  // shown as they land
    bool json = false;
};

struct ValidateCommand {
    std::optional<std::string> plugin;
    int strictness = 5;
    std::optional<std::uint64_t> seed;  // a fresh one, shown in the report, when not given
    std::vector<std::string> only;      // group names; empty for all
    double callLimitSeconds = 20.0;     // one call into the plug-in, before it counts as hung
    double timeoutSeconds = 1800.0;     // the whole validation
    bool json = false;
    std::optional<std::string> saveSequences;  // a directory for the calls of checks that do not pass
    std::optional<std::string> replay;         // a file of calls to make again instead of validating
    // Internal: this process was started by a validation to run one group's
    // checks ("GROUP:FROM").
    std::optional<std::string> child;
};

struct ListCommand {
    enum class Format { both, lv2, vst2 };
    Format format = Format::both;
    bool json = false;
    // Internal: this process was started by a list to open the VST 2.4
    // library at this path and report on it.
    std::optional<std::string> describe;
};

// The overview, or one command's help when `command` names it.
struct HelpCommand {
    std::string command;
};

struct VersionCommand {};

using Command =
    std::variant<HelpCommand, VersionCommand, RenderCommand, DemoCommand, InfoCommand, ValidateCommand, ListCommand>;

Command parseCommandLine(const std::vector<std::string>& args);

}  // namespace vsthost
