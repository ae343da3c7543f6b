// A float's bits and back, for comparing results bit for bit and walking
// through every float of a range.
#pragma once

#include <cstdint>
#include <cstring>

inline std::uint32_t bitsOf(float v) {
    std::uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

inline float fromBits(std::uint32_t b) {
    float v;
    std::memcpy(&v, &b, sizeof v);
    return v;
}
