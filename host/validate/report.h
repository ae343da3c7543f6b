// The validation report: one line per check as it finishes and a summary
// line, or, with --json, one document at the end with the same content.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "check_result.h"

namespace vsthost::validate {

struct ReportHeading {
    std::string plugin;
    int strictness;
    std::uint64_t seed;
    double timeoutSeconds;
};

class Report {
public:
    Report(ReportHeading heading, bool json, std::FILE* out);

    void add(CheckResult result);
    // Prints the summary, or the whole document for --json.
    void finish();
    bool anyFailed() const { return counts[static_cast<int>(Verdict::fail)] > 0; }
    int count(Verdict verdict) const { return counts[static_cast<int>(verdict)]; }

private:
    ReportHeading heading;
    bool json;
    std::FILE* out;
    std::vector<CheckResult> results;
    int counts[4] = {};
};

}  // namespace vsthost::validate
