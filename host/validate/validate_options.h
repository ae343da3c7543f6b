// The command line of `dravelkint validate`. Every malformed option is a
// Failure (usage) that names it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vsthost::validate {

struct ValidateOptions {
    std::optional<std::string> plugin;
    int strictness = 5;
    std::optional<std::uint64_t> seed;  // a fresh one, shown in the report, when not given
    std::vector<std::string> only;      // group names; empty for all
    double timeoutSeconds = 60.0;
    bool json = false;
    bool help = false;
};

ValidateOptions parseValidateOptions(const std::vector<std::string>& args);

}  // namespace vsthost::validate
