#include "json_report.h"

#include <nlohmann/json.hpp>

namespace vsthost {

void JsonReport::end(const validate::Report& report) {
    using validate::Verdict;
    const validate::ReportHeading& heading = report.heading();
    nlohmann::ordered_json document;
    document["plugin"] = heading.plugin;
    document["strictness"] = heading.strictness;
    document["seed"] = heading.seed;
    document["timeoutSeconds"] = heading.timeoutSeconds;
    document["checks"] = nlohmann::ordered_json::array();
    for (const validate::CheckResult& r : report.results())
        document["checks"].push_back(
            {{"id", r.id}, {"group", r.group}, {"verdict", verdictName(r.verdict)}, {"message", r.message}});
    document["summary"] = {{"checks", report.results().size()},   {"pass", report.count(Verdict::pass)},
                           {"fail", report.count(Verdict::fail)}, {"warn", report.count(Verdict::warn)},
                           {"skip", report.count(Verdict::skip)}, {"passed", !report.anyFailed()}};
    // Plug-in texts quoted in messages need not be valid UTF-8.
    const std::string text = document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    std::fprintf(out, "%s\n", text.c_str());
    std::fflush(out);
}

}  // namespace vsthost
