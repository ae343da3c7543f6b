#include "report.h"

#include "host/text/counted.h"

namespace vsthost::validate {

namespace {

constexpr int kIdColumn = 30;

// A count the plug-in gave, with its noun; as it was given when not a number.
std::string factCount(const ReportHeading& heading, const std::string& key, std::string_view noun) {
    const std::string value = heading.fact(key);
    return value == "1" ? value + " " + std::string(noun) : value + " " + std::string(noun) + "s";
}

}  // namespace

std::string ReportHeading::fact(const std::string& key) const {
    for (const auto& [name, value] : facts)
        if (name == key) return value;
    return "";
}

Report::Report(ReportHeading heading, ReportForm& form) : heading_(std::move(heading)), form(form) {
    form.begin(heading_);
}

void Report::add(CheckResult result) {
    ++counts[static_cast<int>(result.verdict)];
    form.check(result);
    results_.push_back(std::move(result));
}

void Report::addGroup(PrintedByGroup group) { groups_.push_back(std::move(group)); }

void Report::finish(double seconds, std::string why) {
    seconds_ = seconds;
    notRun_ = std::move(why);
    form.end(*this);
}

void TextReport::begin(const ReportHeading& heading) {
    std::fprintf(out, "Validating %s at strictness %d, seed %llu, %g s per call, %g s in all\n", heading.plugin.c_str(),
                 heading.strictness, static_cast<unsigned long long>(heading.seed), heading.callLimitSeconds,
                 heading.timeLimitSeconds);
    if (!heading.fact("id").empty())
        std::fprintf(out, "Plug-in \"%s\" by \"%s\", id '%s', version %s, %s in, %s out, %s, %s\n",
                     heading.fact("name").c_str(), heading.fact("vendor").c_str(), heading.fact("id").c_str(),
                     heading.fact("version").c_str(), heading.fact("inputs").c_str(), heading.fact("outputs").c_str(),
                     factCount(heading, "parameters", "parameter").c_str(),
                     factCount(heading, "programs", "program").c_str());
    else if (!heading.fact("uri").empty())
        std::fprintf(out, "LV2 plug-in \"%s\", %s, binary %s\n", heading.fact("name").c_str(),
                     heading.fact("uri").c_str(), heading.fact("binary").c_str());
    std::fflush(out);
}

void TextReport::check(const CheckResult& result) {
    std::fprintf(out, "%s  %-*s %s\n", verdictName(result.verdict), kIdColumn, result.id.c_str(),
                 result.message.c_str());
    // Findings besides the headline, indented under it.
    for (const Finding& other : result.others)
        std::fprintf(out, "%*s%s  %s\n", kIdColumn / 4, "", verdictName(other.verdict), other.message.c_str());
    std::fflush(out);
}

void TextReport::end(const Report& report) {
    bool printed = false;
    for (const PrintedByGroup& group : report.groups()) {
        const PluginOutput& output = group.output;
        if (output.lines().empty()) continue;
        if (!printed) std::fprintf(out, "The plug-in printed (colours removed, each line once, by group of checks):\n");
        printed = true;
        for (const PrintedLine& line : output.lines())
            std::fprintf(out, "  %-10s | %s\n", group.group.c_str(), shownLine(line).c_str());
        if (output.linesLeftOut() > 0)
            std::fprintf(out, "  %-10s | ... and %lld more lines\n", group.group.c_str(),
                         static_cast<long long>(output.linesLeftOut()));
    }
    if (!report.notRun().empty()) std::fprintf(out, "Nothing else was run: %s\n", report.notRun().c_str());
    if (!report.cutShortBy().empty()) std::fprintf(out, "Cut short: %s\n", report.cutShortBy().c_str());
    const std::string outcome = report.anyFailed() ? "validation FAILED"
                                : !report.cutShortBy().empty()
                                    ? "validation INCOMPLETE, cut short by " + report.cutShortCause()
                                    : "validation passed";
    std::fprintf(out, "Summary: %s, %d PASS, %d FAIL, %d WARN, %d SKIP in %.1f s: %s\n",
                 counted(static_cast<std::int64_t>(report.results().size()), "check").c_str(),
                 report.count(Verdict::pass), report.count(Verdict::fail), report.count(Verdict::warn),
                 report.count(Verdict::skip), report.seconds(), outcome.c_str());
    std::fflush(out);
}

}  // namespace vsthost::validate
