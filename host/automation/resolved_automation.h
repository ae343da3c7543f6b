// Automation typed as text, resolved against a plug-in: parameter names
// become indices and display values ("1/8", "-6 dB", "0.3n" for normalised)
// become host values.
#pragma once

#include <string>
#include <vector>

#include "automation_lane.h"
#include "automation_text.h"

namespace vsthost {

class Plugin;

// Looks up every lane's parameter and value on the plug-in and leaves the
// plug-in's parameters as they were. A lane's display is scanned once and
// each distinct value text found once, however many keyframes repeat it.
// Throws Failure (usage) for an unknown parameter, a parameter automated
// twice, or a value no setting shows. `notes`, if given, receives a line for
// each value whose display shows another number than was typed.
std::vector<AutomationLane> resolveAutomation(Plugin& plugin, const std::vector<LaneText>& lanes,
                                              std::vector<std::string>* notes = nullptr);

}  // namespace vsthost
