// What a render tells its user on standard error: notes and warnings as they
// arise, and once OUT stands, what happened on the way and the summary line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "command_line.h"
#include "host/audio/output_check.h"
#include "host/audio/render_loop.h"

namespace vsthost {

// A note or warning, on a line of its own.
void tellUser(const std::string& text);

// "mono", "stereo", "6 channels".
std::string channelsText(int channels);

// How unusable output kept with --keep-bad-output went into the file:
// "; the 12 that are not numbers as silence".
std::string keptAs(const OutputFindings& found);

class AutomationPlan;
class Plugin;
class TempoMap;

// The picture's title: the source, the plug-in and the tempo when it never
// changes; then the settings at the start on a second line, "automated" for
// the parameters that move.
std::string renderTitle(const std::string& sourceName, const Plugin* plugin, const AutomationPlan* automation,
                        const TempoMap& tempo);

// A render that succeeded, as its report needs it.
struct RenderFacts {
    std::string whereTo;     // "'out.wav'" or "standard output"
    std::string sourceName;  // "'in.wav'"
    std::string through;     // " through Dravelkint", or empty
    bool replaced = false;
    int format = 0;
    int channels = 0;
    int fileRate = 0;
    double sampleRate = 0.0;  // of the render, before any resampling
    std::int64_t frames = 0;
    double elapsedSeconds = 0.0;
    OutputFindings found;
    LatencyReport latency;
    std::vector<std::string> damage;  // what each damaged source lost; empty for an intact one
};

// Once OUT stands: what damaged input lost, the clipping warning and the
// notes on the plug-in's delay.
void warnOfWhatHappened(const RenderFacts& facts, const RenderSettingsOptions& options);
// The summary line, last.
void summarise(const RenderFacts& facts, const RenderSettingsOptions& options);

}  // namespace vsthost
