// Automation for several parameters in one JSON file (--automation).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "automation_text.h"

namespace vsthost {

// A JSON file holding an object of parameter names, each with an array of
// keyframes {"beat": 4, "value": 2000} whose value is a number in display
// units or a text as on the command line. Throws Failure (input) for a file
// that cannot be read (with the system's reason), a directory, or a file that
// does not hold that with at least one parameter.
std::vector<LaneText> readAutomationFile(const std::string& path);
// The same from the file's text; `origin` names it in messages.
std::vector<LaneText> parseAutomationJson(std::string_view json, const std::string& origin);

}  // namespace vsthost
