// Setting a parameter the way its user reads it: by name, and by the value
// its own display shows, whatever the plug-in's mapping from the normalised
// host value. The search scans the normalised range with the plug-in's own
// display texts and then narrows down to the first value that shows the
// wanted one, which for displays that truncate is the exact value.
#pragma once

#include <cstdint>
#include <string_view>

namespace vsthost {

class PluginInstance;

// The index of the parameter whose name reads `name` (case and spacing
// aside). Throws Failure (usage) listing the names there are.
std::int32_t findParameter(const PluginInstance& plugin, std::string_view name);

// Finds and sets the normalised value at which the parameter's display shows
// `wanted` ("300", "1/8", "4.0", "50", or a text such as "On"), and answers
// it. Throws Failure (usage) naming the parameter's range, or the nearest
// settings, when no value shows it; the parameter is then left as it was.
float setParameterByDisplay(PluginInstance& plugin, std::int32_t index, std::string_view wanted);

}  // namespace vsthost
