#include "findings.h"

namespace vsthost::validate {

void Findings::add(Outcome finding) {
    if (finding.verdict == Verdict::pass || finding.verdict == Verdict::skip) return;
    all.push_back(std::move(finding));
}

Outcome Findings::outcome(const std::string& passMessage) const {
    if (all.empty()) return passed(passMessage);
    const Outcome* worst = &all.front();
    for (const Outcome& finding : all)
        if (finding.verdict == Verdict::fail && worst->verdict != Verdict::fail) worst = &finding;
    Outcome result = *worst;
    if (all.size() > 1)
        result.message += "; " + std::to_string(all.size() - 1) + " more finding" + (all.size() > 2 ? "s" : "");
    return result;
}

}  // namespace vsthost::validate
