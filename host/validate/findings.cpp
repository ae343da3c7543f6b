#include "findings.h"

namespace vsthost::validate {

namespace {

std::string counted(const std::string& message, int times) {
    return times > 1 ? message + " (" + std::to_string(times) + " times)" : message;
}

}  // namespace

void Findings::add(Outcome finding) {
    if (finding.verdict == Verdict::pass || finding.verdict == Verdict::skip) return;
    for (std::size_t i = 0; i < all.size(); ++i)
        if (all[i].verdict == finding.verdict && all[i].message == finding.message && finding.others.empty()) {
            ++times[i];
            return;
        }
    all.push_back(std::move(finding));
    times.push_back(1);
}

Outcome Findings::outcome(const std::string& passMessage) const {
    if (all.empty()) return passed(passMessage);
    std::size_t worst = 0;
    for (std::size_t i = 0; i < all.size(); ++i)
        if (all[i].verdict == Verdict::fail && all[worst].verdict != Verdict::fail) worst = i;
    Outcome result{all[worst].verdict, counted(all[worst].message, times[worst]), all[worst].others};
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (i == worst) continue;
        result.others.push_back({all[i].verdict, counted(all[i].message, times[i])});
        for (const Finding& other : all[i].others) result.others.push_back(other);
    }
    return result;
}

}  // namespace vsthost::validate
