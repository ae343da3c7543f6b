// The LV2 plug-ins installed: those in LV2_PATH when it is set, in the
// standard folders otherwise, read from their descriptions through lilv.
// Nothing is instantiated, so nothing of a plug-in's own code runs.
#pragma once

#include <vector>

#include "host/plugin/installed_plugin.h"

namespace vsthost {

std::vector<InstalledPlugin> installedLv2Plugins();

}  // namespace vsthost
