// What the user asked for, read from the command line. Every malformed
// option is a Failure (usage) that names it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "automation.h"
#include "sonogram.h"
#include "tempo_map.h"
#include "transport.h"

namespace vsthost {

struct ParameterSetting {
    std::string name;
    std::string value;
    bool normalized = false;
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

struct HelpCommand {};

using Command = std::variant<HelpCommand, RenderCommand, DemoCommand, InfoCommand>;

Command parseCommandLine(const std::vector<std::string>& args);

}  // namespace vsthost
