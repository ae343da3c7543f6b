#include "report.h"

namespace vsthost::validate {

namespace {

constexpr int kIdColumn = 30;

}  // namespace

Report::Report(ReportHeading heading, ReportForm& form) : heading_(std::move(heading)), form(form) {
    form.begin(heading_);
}

void Report::add(CheckResult result) {
    ++counts[static_cast<int>(result.verdict)];
    form.check(result);
    results_.push_back(std::move(result));
}

void Report::finish() { form.end(*this); }

void TextReport::begin(const ReportHeading& heading) {
    std::fprintf(out, "Validating %s at strictness %d, seed %llu, time limit %g s per group\n", heading.plugin.c_str(),
                 heading.strictness, static_cast<unsigned long long>(heading.seed), heading.timeoutSeconds);
    std::fflush(out);
}

void TextReport::check(const CheckResult& result) {
    std::fprintf(out, "%s  %-*s %s\n", verdictName(result.verdict), kIdColumn, result.id.c_str(),
                 result.message.c_str());
    std::fflush(out);
}

void TextReport::end(const Report& report) {
    std::fprintf(out, "Summary: %zu checks, %d PASS, %d FAIL, %d WARN, %d SKIP: %s\n", report.results().size(),
                 report.count(Verdict::pass), report.count(Verdict::fail), report.count(Verdict::warn),
                 report.count(Verdict::skip), report.anyFailed() ? "validation FAILED" : "validation passed");
    std::fflush(out);
}

}  // namespace vsthost::validate
