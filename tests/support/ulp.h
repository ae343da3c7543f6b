// Distance between two floats in units in the last place, for results that
// pass through the maths library.
#pragma once

#include <cstdint>
#include <cstring>
#include <limits>

inline std::int64_t ulpDistance(float a, float b) {
    if (a != a || b != b) return std::numeric_limits<std::int64_t>::max();
    auto ordered = [](float f) {
        std::int32_t i;
        std::memcpy(&i, &f, sizeof i);
        return i < 0 ? std::int64_t{INT32_MIN} - i : std::int64_t{i};
    };
    const std::int64_t d = ordered(a) - ordered(b);
    return d < 0 ? -d : d;
}

constexpr std::int64_t kFewUlps = 4;
