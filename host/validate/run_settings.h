// What a validation run was asked for, handed to every process it starts.
#pragma once

#include <cstdint>
#include <string>

namespace vsthost::validate {

struct RunSettings {
    std::string program;  // started afresh for every group: this executable
    std::string pluginPath;
    int strictness = 5;
    std::uint64_t seed = 0;
    double callLimitSeconds = 20.0;
    double timeLimitSeconds = 1800.0;  // the whole validation
    // The X display for groups that need one, or why there is none.
    std::string display;
    std::string noDisplay;
    // Where the calls of every check that does not pass are kept, or "".
    std::string sequenceDir;
};

// How long a check that repeats something may go on: a few slow calls' worth.
inline double checkBudgetSeconds(const RunSettings& settings) { return 1.5 * settings.callLimitSeconds; }

}  // namespace vsthost::validate
