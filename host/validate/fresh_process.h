// Starts this program afresh (fork and exec) to run checks, so that what a
// process does to the plug-in's heap depends only on its own arguments, not
// on the history of the process that started it. The pipes and the progress
// page it needs arrive at fixed descriptors.
#pragma once

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

namespace vsthost::validate {

constexpr int kResultFd = 3;    // lines the process reports on
constexpr int kProgressFd = 4;  // the shared progress page
constexpr int kDataFd = 5;      // optional: bulk data for the process that started it

struct ProcessPlan {
    std::string program;
    std::vector<std::string> args;  // after the program's name
    int outputFd = -1;              // standard output and error: what the plug-in prints
    int resultFd = -1;
    int progressFd = -1;
    int dataFd = -1;
    std::vector<std::pair<std::string, std::string>> environment;  // set or replaced
};

// The new process leads a process group of its own (endProcessGroup ends it
// with what it started, except processes it starts here in turn: they lead
// groups of their own), dies with its parent, and runs without address
// randomisation, so that the same arguments give the same heap.
pid_t startFreshProcess(const ProcessPlan& plan);
void endProcessGroup(pid_t leader);
// First thing in the new process: standard output, a pipe, line-buffered so
// that a crash loses none of the lines printed before it; and the fixed
// descriptors closed on exec, so that programs the plug-in starts do not
// hold them.
void settleFreshProcess();
// Waits, retrying on interruption; the status as waitpid gives it.
int waitForProcess(pid_t pid);

// This executable, as the kernel knows it.
std::string currentProgram();

}  // namespace vsthost::validate
