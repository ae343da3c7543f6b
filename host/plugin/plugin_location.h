// Where the command-line host finds the Dravelkint plug-in when it is not
// told: beside the executable (the build tree), in ../lib/vst relative to it
// (an installed prefix), then in the user's ~/.vst.
#pragma once

#include <optional>
#include <string>

namespace vsthost {

// The plug-in the user named, or the first default place that holds the
// Dravelkint plug-in. Throws Failure (plugin) listing the places looked in.
std::string resolvePluginPath(const std::optional<std::string>& requested);

}  // namespace vsthost
