// The validation report: what was validated, every check's result in the
// order they finish, and the counts. Its form is the caller's choice: lines
// as checks finish (TextReport), or one document at the end (the command
// line's JSON form).
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

class Report;

// How a report is shown: told of the heading first, of each check as it
// finishes, and of the end.
class ReportForm {
public:
    virtual ~ReportForm() = default;
    virtual void begin(const ReportHeading& heading) = 0;
    virtual void check(const CheckResult& result) = 0;
    virtual void end(const Report& report) = 0;
};

class Report {
public:
    Report(ReportHeading heading, ReportForm& form);

    void add(CheckResult result);
    void finish();

    const ReportHeading& heading() const { return heading_; }
    const std::vector<CheckResult>& results() const { return results_; }
    bool anyFailed() const { return count(Verdict::fail) > 0; }
    int count(Verdict verdict) const { return counts[static_cast<int>(verdict)]; }

private:
    ReportHeading heading_;
    ReportForm& form;
    std::vector<CheckResult> results_;
    int counts[4] = {};
};

// One line per check as it finishes, and a summary line.
class TextReport : public ReportForm {
public:
    explicit TextReport(std::FILE* out) : out(out) {}
    void begin(const ReportHeading& heading) override;
    void check(const CheckResult& result) override;
    void end(const Report& report) override;

private:
    std::FILE* out;
};

}  // namespace vsthost::validate
