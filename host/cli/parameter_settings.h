// --preset, --set and --set-normalized, applied to an open plug-in.
#pragma once

#include <cstdint>
#include <vector>

#include "command_line.h"

namespace vsthost {

class Plugin;

// Loads the preset, if one is given, then sets every parameter, refusing a
// parameter set twice, and says what a value landed on when its display
// shows another number. Answers the parameters it set.
std::vector<std::int32_t> applySettings(Plugin& plugin, const std::vector<ParameterSetting>& settings);

}  // namespace vsthost
