// Automation as typed: keyframes at beats with values as text, from
// --automate or an automation file. Read without a plug-in, so bad input is
// refused before anything loads; resolved_automation.h then turns names and
// values into a plug-in's terms.
#pragma once

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

// What is wrong with the keyframes' beats, or an empty text when they are
// fine; the same for every source of keyframes.
std::string keyframeBeatProblem(const std::vector<KeyframeText>& keyframes);

}  // namespace vsthost
