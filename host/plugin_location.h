// Where the command-line host finds the Dravelkint plug-in when it is not
// told: beside the executable (the build tree), in ../lib/vst relative to it
// (an installed prefix), then in the user's ~/.vst.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vsthost {

std::vector<std::string> defaultPluginCandidates(const std::string& fileName);

// The first candidate that exists.
std::optional<std::string> findDefaultPlugin(const std::string& fileName);

}  // namespace vsthost
