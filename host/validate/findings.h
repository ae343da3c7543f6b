// What one check found over many cases: the report line carries the worst
// finding and says how many more there were.
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
    // of the worst findings, followed by the number of others.
    Outcome outcome(const std::string& passMessage) const;

private:
    std::vector<Outcome> all;
};

}  // namespace vsthost::validate
