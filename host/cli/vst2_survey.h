// Opens VST 2.4 libraries to learn their names and channels, each in a
// freshly started process of its own with a time limit, a few at a time: a
// library that crashes, hangs or exits while it is opened is described by
// what happened, and the survey goes on.
#pragma once

#include <string>
#include <vector>

#include "host/plugin/installed_plugin.h"

namespace vsthost {

// How long one library may take to open and close before it counts as hung.
constexpr double kSecondsPerLibrary = 10.0;

// The plug-ins among `paths`, in their order; files that turn out to be no
// VST 2.4 plug-in are left out.
std::vector<InstalledPlugin> surveyVst2Libraries(const std::vector<std::string>& paths);

// In the process started for one library: reports it to the survey and ends
// the process without running what the plug-in left behind at exit.
[[noreturn]] void describeForSurvey(const std::string& path);

}  // namespace vsthost
