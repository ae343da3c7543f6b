// One line of a validation report.
#pragma once

#include <string>

#include "verdict.h"

namespace vsthost::validate {

struct CheckResult {
    std::string group;
    std::string id;
    Verdict verdict;
    std::string message;
    double seconds = 0.0;  // how long the check ran
};

}  // namespace vsthost::validate
