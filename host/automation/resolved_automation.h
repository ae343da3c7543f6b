// Automation typed as text, resolved against a plug-in: parameter names
// become indices and display values ("1/8", "-6 dB", "0.3n" for normalised)
// become host values.
#pragma once

#include <vector>

#include "automation_lane.h"
#include "automation_text.h"

namespace vsthost {

class PluginInstance;

// Looks up every lane's parameter and value on the plug-in and leaves the
// plug-in's parameters as they were. Throws Failure (usage) for an unknown
// parameter, a parameter automated twice, or a value no setting shows.
std::vector<AutomationLane> resolveAutomation(PluginInstance& plugin, const std::vector<LaneText>& lanes);

}  // namespace vsthost
