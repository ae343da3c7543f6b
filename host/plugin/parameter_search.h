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
// `wanted` as a musician types it ("300", "20kHz", "1/8T", "4.0", "50 %", or
// a text such as "On"; host/text/typed_value.h), and answers it. Throws
// Failure (usage) naming the forms it takes and its range, or the nearest
// settings, when no value shows it; the parameter is then left as it was.
// When the display that a number landed on shows another number ("0" for
// 0.5), `landedOn` receives that display with its label.
float setParameterByDisplay(PluginInstance& plugin, std::int32_t index, std::string_view wanted,
                            std::string* landedOn = nullptr);

// Whether the parameter is a choice among a few steps (a note value, a mode,
// a switch) rather than a continuous value: automation steps between such
// values instead of gliding through the ones between.
bool isStepped(PluginInstance& plugin, std::int32_t index);

}  // namespace vsthost
