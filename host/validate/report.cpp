#include "report.h"

#include <nlohmann/json.hpp>

namespace vsthost::validate {

namespace {

constexpr int kIdColumn = 30;

}  // namespace

Report::Report(ReportHeading heading_, bool json_, std::FILE* out_)
    : heading(std::move(heading_)), json(json_), out(out_) {
    if (json) return;
    std::fprintf(out, "Validating %s at strictness %d, seed %llu, time limit %g s per group\n", heading.plugin.c_str(),
                 heading.strictness, static_cast<unsigned long long>(heading.seed), heading.timeoutSeconds);
    std::fflush(out);
}

void Report::add(CheckResult result) {
    ++counts[static_cast<int>(result.verdict)];
    if (!json) {
        std::fprintf(out, "%s  %-*s %s\n", verdictName(result.verdict), kIdColumn, result.id.c_str(),
                     result.message.c_str());
        std::fflush(out);
    }
    results.push_back(std::move(result));
}

void Report::finish() {
    const bool passedAll = !anyFailed();
    if (!json) {
        std::fprintf(out, "Summary: %zu checks, %d PASS, %d FAIL, %d WARN, %d SKIP: %s\n", results.size(),
                     count(Verdict::pass), count(Verdict::fail), count(Verdict::warn), count(Verdict::skip),
                     passedAll ? "validation passed" : "validation FAILED");
        std::fflush(out);
        return;
    }
    nlohmann::ordered_json document;
    document["plugin"] = heading.plugin;
    document["strictness"] = heading.strictness;
    document["seed"] = heading.seed;
    document["timeoutSeconds"] = heading.timeoutSeconds;
    document["checks"] = nlohmann::ordered_json::array();
    for (const CheckResult& r : results)
        document["checks"].push_back(
            {{"id", r.id}, {"group", r.group}, {"verdict", verdictName(r.verdict)}, {"message", r.message}});
    document["summary"] = {{"checks", results.size()},     {"pass", count(Verdict::pass)},
                           {"fail", count(Verdict::fail)}, {"warn", count(Verdict::warn)},
                           {"skip", count(Verdict::skip)}, {"passed", passedAll}};
    // Plug-in texts quoted in messages need not be valid UTF-8.
    const std::string text = document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    std::fprintf(out, "%s\n", text.c_str());
    std::fflush(out);
}

}  // namespace vsthost::validate
