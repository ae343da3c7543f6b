// The validation report: what was validated, every check's result in the
// order they finish, what the plug-in printed meanwhile, and the counts. Its
// form is the caller's choice: lines as checks finish (TextReport), or one
// document at the end (the command line's JSON form).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "check_result.h"
#include "plugin_output.h"

namespace vsthost::validate {

struct ReportHeading {
    std::string plugin;
    int strictness;
    std::uint64_t seed;
    double callLimitSeconds;
    double timeLimitSeconds;
    std::string toolVersion;
    // What the plug-in says of itself, in the order the load check learnt it.
    std::vector<std::pair<std::string, std::string>> facts;

    // The fact's value, or "" when the plug-in did not say.
    std::string fact(const std::string& key) const;
};

// What the plug-in printed while one group ran.
struct PrintedByGroup {
    std::string group;
    double seconds;
    PluginOutput output;
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
    void addGroup(PrintedByGroup group);
    // Before finishing: the run ended before every check ran, `why`, and
    // what ended it in a few words.
    void cutShort(std::string why, std::string by = "the overall time limit") {
        cutShort_ = std::move(why);
        cutShortBy_ = std::move(by);
    }
    // `why` when checks could not be run at all, e.g. no usable record.
    void finish(double seconds, std::string why = "");

    const ReportHeading& heading() const { return heading_; }
    const std::vector<CheckResult>& results() const { return results_; }
    const std::vector<PrintedByGroup>& groups() const { return groups_; }
    bool anyFailed() const { return count(Verdict::fail) > 0; }
    // Not cut short and nothing failed: a run that did not finish proves nothing.
    bool passed() const { return !anyFailed() && cutShort_.empty(); }
    const std::string& cutShortBy() const { return cutShort_; }
    const std::string& cutShortCause() const { return cutShortBy_; }
    int count(Verdict verdict) const { return counts[static_cast<int>(verdict)]; }
    double seconds() const { return seconds_; }
    const std::string& notRun() const { return notRun_; }

private:
    ReportHeading heading_;
    ReportForm& form;
    std::vector<CheckResult> results_;
    std::vector<PrintedByGroup> groups_;
    int counts[4] = {};
    double seconds_ = 0.0;
    std::string notRun_;
    std::string cutShort_;
    std::string cutShortBy_;
};

// One line per check as it finishes, with a line under it, indented, for
// every other finding; then what the plug-in printed, apart; then a summary
// line.
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
