// How long a check that repeats something (opening instances, automation
// steps) may go on. A plug-in whose every call is slow is not hung; the check
// stops repeating when its budget is spent and says how far it got.
#pragma once

#include <chrono>

namespace vsthost::validate {

class TimeBudget {
public:
    explicit TimeBudget(double seconds)
        : seconds_(seconds),
          end(std::chrono::steady_clock::now() +
              std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds))) {
    }

    bool spent() const { return std::chrono::steady_clock::now() >= end; }
    double seconds() const { return seconds_; }

private:
    double seconds_;
    std::chrono::steady_clock::time_point end;
};

}  // namespace vsthost::validate
