// Parameter automation: keyframes at beats, and the value a parameter has in
// between (linear in the normalised value, held before the first keyframe
// and after the last; two keyframes on one beat make a step).
//
// Keyframes arrive as text first ("Freq 1=0:500,4:2000", or a JSON file) and
// are read without a plug-in, so bad input is refused before anything loads;
// they are then resolved against the plug-in, which turns names into indices
// and display values ("1/8", "-6 dB", "0.3n" for normalised) into host values.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vsthost {

class PluginInstance;

struct KeyframeText {
    double beat;
    std::string value;  // display text, or a normalised value with an 'n' suffix
};

struct LaneText {
    std::string parameter;
    std::vector<KeyframeText> keyframes;  // beats never fall
};

// One --automate argument, "NAME=BEAT:VALUE,BEAT:VALUE,...". Throws Failure
// (usage).
LaneText parseAutomate(std::string_view text);

// A JSON file holding an object of parameter names, each with an array of
// keyframes {"beat": 4, "value": 2000} whose value is a number in display
// units or a text as on the command line. Throws Failure (input) for a file
// that cannot be read or does not hold that.
std::vector<LaneText> readAutomationFile(const std::string& path);
// The same from the file's text; `origin` names it in messages.
std::vector<LaneText> parseAutomationJson(std::string_view json, const std::string& origin);

struct Keyframe {
    double beat;
    float value;  // normalised, 0 to 1
};

struct AutomationLane {
    std::int32_t parameter;
    std::vector<Keyframe> keyframes;  // at least one; beats never fall
};

// Looks up every lane's parameter and value on the plug-in and leaves the
// plug-in's parameters as they were. Throws Failure (usage) for an unknown
// parameter, a parameter automated twice, or a value no setting shows.
std::vector<AutomationLane> resolveAutomation(PluginInstance& plugin, const std::vector<LaneText>& lanes);

// Linear between a and b, in double and rounded once, so ramps never step
// backwards and land exactly on b when `fraction` is 1.
float interpolate(float a, float b, double fraction);

}  // namespace vsthost
