// Runs a group of checks in freshly started processes, so that a plug-in
// that crashes or hangs costs one check instead of the whole validation.
// Every call into the plug-in has a time limit: one that does not return
// within it counts as hung, however long the check as a whole takes. A
// process that dies is followed by a fresh one that goes on with the next
// check. An overall limit bounds the whole validation.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "catalogue.h"
#include "check_result.h"
#include "plugin_output.h"
#include "run_settings.h"

namespace vsthost::validate {

struct GroupEvents {
    std::function<void(CheckResult)> check;  // each check's result, in the group's order
    std::function<void(const std::string& key, const std::string& value)> fact;
};

struct GroupRun {
    std::string group;
    double seconds = 0.0;
    PluginOutput output;    // what the plug-in printed meanwhile
    std::string notPlugin;  // set when the file turned out not to be a plug-in at all
    bool cutShort = false;  // the overall time limit ran out before every runnable check ran
    bool stopped = false;   // asked to stop: the check running then has no result
};

using Deadline = std::chrono::steady_clock::time_point;

// Reports every check of the group, the ones above the strictness as
// skipped, the others as they finish. Once `stop` is set the process running
// the checks is ended, with what it started, and the group ends there.
GroupRun runGroup(const CheckGroup& group, const RunSettings& settings, Deadline deadline, const GroupEvents& events,
                  const std::atomic<bool>* stop = nullptr);

// The arguments that make this program run `groupAndStart`, "GROUP:N": the
// group's checks from its N-th runnable one on (runChild reads them back).
std::vector<std::string> childArguments(const RunSettings& settings, const std::string& groupAndStart);

}  // namespace vsthost::validate

namespace vsthost::validate {

// In the process started for a group: runs its checks from the position the
// arguments name on, reporting to the validator, and ends the process.
[[noreturn]] void runChild(const std::string& groupAndStart, const RunSettings& settings);

}  // namespace vsthost::validate
