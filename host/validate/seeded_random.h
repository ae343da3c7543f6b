// Random values that depend only on the run's seed and the check's name, so a
// report can be reproduced check by check, whatever else --only selects.
#pragma once

#include <cstdint>
#include <string_view>

namespace vsthost::validate {

class SeededRandom {
public:
    SeededRandom(std::uint64_t seed, std::string_view stream);

    std::uint64_t next();
    // Uniform in [low, high), built from 24 random bits so that it is the same
    // on every platform.
    float uniform(float low, float high);
    // Uniform in [low, high], both included.
    std::int32_t between(std::int32_t low, std::int32_t high);

private:
    std::uint64_t state;
};

}  // namespace vsthost::validate
