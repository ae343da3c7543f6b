// One line of a validation report.
#pragma once

#include <string>
#include <vector>

#include "verdict.h"

namespace vsthost::validate {

struct CheckResult {
    std::string group;
    std::string id;
    Verdict verdict;
    std::string message;
    double seconds = 0.0;              // how long the check ran
    std::vector<Finding> others = {};  // found besides the headline
};

}  // namespace vsthost::validate
