// Some questions need a process of their own: whether one instance repeats
// itself can only be asked of the first instance of two fresh processes. A
// probe is a named piece of a check that runs in a freshly started process
// and hands back the samples it produced.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "catalogue.h"

namespace vsthost::validate {

struct Probe {
    std::string name;
    std::function<std::vector<float>(CheckContext&)> run;
};

// Every probe the checks use.
const std::vector<Probe>& probes();

// Runs the probe in a freshly started process and answers what it produced.
// A probe that crashes ends the calling process the same way, so that the
// crash, and the call it happened in, is reported as the check's own.
std::vector<float> runProbe(const CheckContext& context, const std::string& name);

// In the process started for a probe: runs it and ends the process.
[[noreturn]] void runProbeChild(const std::string& name, const RunSettings& settings);

}  // namespace vsthost::validate
