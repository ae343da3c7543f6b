// Runs a group of checks in child processes, so that a plug-in that crashes
// or hangs costs one failed check instead of the whole validation. The group
// has one time limit; a child that crashes is followed by a fresh one that
// goes on with the next check, a child that runs out of time ends the group.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "catalogue.h"
#include "check_result.h"

namespace vsthost::validate {

struct RunSettings {
    std::string pluginPath;
    int strictness = 5;
    std::uint64_t seed = 0;
    double timeoutSeconds = 60.0;
};

// Reports every check of the group to `sink`, in the group's order: the ones
// above the strictness as skipped, the others as they finish.
void runGroup(const CheckGroup& group, const RunSettings& settings, const std::function<void(CheckResult)>& sink);

}  // namespace vsthost::validate
