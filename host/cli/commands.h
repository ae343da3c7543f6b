// The commands of the dravelkint executable. Each throws Failure for what
// went wrong; main() turns it into a message and an exit code.
#pragma once

#include <string>

#include "command_line.h"

namespace vsthost {

void runRender(const RenderCommand& command);
void runDemo(const DemoCommand& command);
void runInfo(const InfoCommand& command);
enum class ValidationOutcome {
    passed,    // every check that ran passed, and every one ran
    failed,    // a check failed
    cutShort,  // the overall time limit ran out first, with no check failed so far
};
ValidationOutcome runValidate(const ValidateCommand& command);
void runList(const ListCommand& command);

// The overview, or the help of one command.
void printHelp(const std::string& command);

}  // namespace vsthost
