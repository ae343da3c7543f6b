// The lines a check process writes back to the validator: a letter for the
// line's kind, then fields, all separated by tabs (messages hold none). An
// "R" line reports one check: its position among the group's runnable
// checks, its verdict, its seconds and its message. "S" lines before it,
// one per finding besides the headline, carry the position, a verdict and a
// message.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "verdict.h"

namespace vsthost::validate {

std::vector<std::string> fieldsOf(const std::string& line);

struct ReportedResult {
    std::size_t position;  // among the runnable checks
    Outcome outcome;
    double seconds;
};

// An "R" line's fields, or nothing when they do not hold together. Only this
// program means to write them, so such a line is reported as its own fault,
// never as a verdict on the plug-in.
std::optional<ReportedResult> resultIn(const std::vector<std::string>& fields, std::size_t runnable);

struct ReportedFinding {
    std::size_t position;
    Finding finding;
};

// An "S" line's fields, or nothing, as for resultIn.
std::optional<ReportedFinding> findingIn(const std::vector<std::string>& fields, std::size_t runnable);

}  // namespace vsthost::validate
