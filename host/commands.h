// The commands of the dravelkint executable.
#pragma once

#include "command_line.h"

namespace vsthost {

void runRender(const RenderCommand& command);
void runDemo(const DemoCommand& command);
void runInfo(const InfoCommand& command);
void printHelp();

}  // namespace vsthost
