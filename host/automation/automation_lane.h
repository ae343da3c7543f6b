// Automation in a plug-in's terms: a parameter's keyframes at beats with
// normalised values, and the value between two of them.
#pragma once

#include <cstdint>
#include <vector>

namespace vsthost {

struct Keyframe {
    double beat;
    float value;  // normalised, 0 to 1
    // The value in the parameter's own unit, for a plug-in that takes it so.
    double plain = 0.0;
};

// Linear between keyframes, held before the first and after the last; two
// keyframes on one beat make a step.
struct AutomationLane {
    std::int32_t parameter;
    std::vector<Keyframe> keyframes;  // at least one; beats never fall
    // A parameter of a few steps (a note value, a mode) holds each keyframe's
    // value until the next one instead of passing through the steps between.
    bool stepped = false;
    // Every keyframe has its value in the parameter's own unit and the plug-in
    // takes it: the lane moves linearly in that value, as typed, whatever
    // scale the plug-in puts between 0 and 1 (a logarithmic one for a
    // frequency), and reaches the plug-in with no such scale between.
    bool plain = false;
};

// Linear between a and b, in double and rounded once, so ramps never step
// backwards and land exactly on b when `fraction` is 1.
inline float interpolate(float a, float b, double fraction) {
    if (fraction <= 0.0) return a;
    if (fraction >= 1.0) return b;
    return static_cast<float>(static_cast<double>(a) + (static_cast<double>(b) - static_cast<double>(a)) * fraction);
}

}  // namespace vsthost
