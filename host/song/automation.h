// Parameter automation: keyframes at beats, and the value a parameter has in
// between (linear in the normalised value, held before the first keyframe
// and after the last; two keyframes on one beat make a step).
//
// Keyframes arrive as text first ("Freq 1=0:500,4:2000", or a JSON file read
// by the command line) and are read without a plug-in, so bad input is
// refused before anything loads; they are then resolved against the plug-in
// (host/plugin/resolved_automation.h), which turns names into indices and
// display values ("1/8", "-6 dB", "0.3n" for normalised) into host values.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vsthost {

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

// Whatever the keyframes came from, their beats are checked alike: what is
// wrong with them, or an empty text when they are fine.
std::string beatProblem(const std::vector<KeyframeText>& keyframes);

struct Keyframe {
    double beat;
    float value;  // normalised, 0 to 1
};

struct AutomationLane {
    std::int32_t parameter;
    std::vector<Keyframe> keyframes;  // at least one; beats never fall
    // A parameter of a few steps (a note value, a mode) holds each keyframe's
    // value until the next one instead of passing through the steps between.
    bool stepped = false;
};

// Linear between a and b, in double and rounded once, so ramps never step
// backwards and land exactly on b when `fraction` is 1.
float interpolate(float a, float b, double fraction);

}  // namespace vsthost
