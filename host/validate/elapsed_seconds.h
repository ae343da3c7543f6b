// Seconds gone by on the steady clock, as the report gives times.
#pragma once

#include <chrono>

namespace vsthost::validate {

inline double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace vsthost::validate
