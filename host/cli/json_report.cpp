#include "json_report.h"

#include <nlohmann/json.hpp>

namespace vsthost {

namespace {

// Facts that are numbers are written as numbers.
nlohmann::ordered_json factValue(const std::string& key, const std::string& value) {
    for (const char* numeric : {"inputs", "outputs", "parameters", "programs", "version", "vendorVersion", "vstVersion",
                                "category", "latency", "uniqueId"})
        if (key == numeric) {
            try {
                std::size_t used = 0;
                const long long n = std::stoll(value, &used);
                if (used == value.size()) return n;
            } catch (const std::exception&) {
            }
        }
    return value;
}

}  // namespace

void JsonReport::end(const validate::Report& report) {
    using validate::Verdict;
    const validate::ReportHeading& heading = report.heading();
    nlohmann::ordered_json document;
    document["tool"] = {{"name", "dravelkint"}, {"version", heading.toolVersion}};
    document["plugin"] = heading.plugin;
    nlohmann::ordered_json effect = nlohmann::ordered_json::object();
    for (const auto& [key, value] : heading.facts) effect[key] = factValue(key, value);
    document["effect"] = effect;
    document["strictness"] = heading.strictness;
    document["seed"] = heading.seed;
    document["callLimitSeconds"] = heading.callLimitSeconds;
    document["timeLimitSeconds"] = heading.timeLimitSeconds;
    document["checks"] = nlohmann::ordered_json::array();
    for (const validate::CheckResult& r : report.results()) {
        // Every finding, the headline first; none for a pass or a skip.
        nlohmann::ordered_json findings = nlohmann::ordered_json::array();
        if (r.verdict == Verdict::fail || r.verdict == Verdict::warn)
            findings.push_back({{"verdict", verdictName(r.verdict)}, {"message", r.message}});
        for (const validate::Finding& other : r.others)
            findings.push_back({{"verdict", verdictName(other.verdict)}, {"message", other.message}});
        document["checks"].push_back({{"id", r.id},
                                      {"group", r.group},
                                      {"verdict", verdictName(r.verdict)},
                                      {"message", r.message},
                                      {"findings", findings},
                                      {"seconds", r.seconds}});
    }
    document["groups"] = nlohmann::ordered_json::array();
    for (const validate::PrintedByGroup& group : report.groups()) {
        nlohmann::ordered_json printed = nlohmann::ordered_json::array();
        for (const validate::PrintedLine& line : group.output.lines())
            printed.push_back({{"line", line.text}, {"times", line.times}});
        document["groups"].push_back({{"name", group.group},
                                      {"seconds", group.seconds},
                                      {"printed", printed},
                                      {"printedBytes", group.output.bytes()},
                                      {"printedLinesLeftOut", group.output.linesLeftOut()}});
    }
    document["summary"] = {{"checks", report.results().size()},
                           {"pass", report.count(Verdict::pass)},
                           {"fail", report.count(Verdict::fail)},
                           {"warn", report.count(Verdict::warn)},
                           {"skip", report.count(Verdict::skip)},
                           {"seconds", report.seconds()},
                           {"passed", report.passed()}};
    if (!report.notRun().empty()) document["summary"]["notRun"] = report.notRun();
    if (!report.cutShortBy().empty()) document["summary"]["cutShort"] = report.cutShortBy();
    // Plug-in texts quoted in messages need not be valid UTF-8.
    const std::string text = document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    std::fprintf(out, "%s\n", text.c_str());
    std::fflush(out);
}

}  // namespace vsthost
