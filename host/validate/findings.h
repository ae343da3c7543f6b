// What one check found over many cases: the report line carries the worst
// finding as its headline and every other one beside it; the same finding
// made again is counted, not repeated.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "verdict.h"

namespace vsthost::validate {

class Findings {
public:
    void add(Outcome finding);
    void add(const std::optional<Outcome>& finding) {
        if (finding) add(*finding);
    }
    bool empty() const { return all.empty(); }

    // A pass with `passMessage` when nothing was found; otherwise the first
    // of the worst findings, with the others in the order they were found.
    Outcome outcome(const std::string& passMessage) const;

private:
    std::vector<Outcome> all;
    std::vector<int> times;  // of each in `all`
};

}  // namespace vsthost::validate
