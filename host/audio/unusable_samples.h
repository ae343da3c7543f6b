// Samples no audio file should hold: not a number, infinite, or louder than
// +100 dBFS, which no signal path reaches by design. An input holding them is
// refused; an output holding them is refused, or kept when asked.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>

namespace vsthost {

struct UnusableSamples {
    static constexpr float kAbsurd = 1e5f;  // +100 dBFS

    std::int64_t count = 0;
    std::int64_t firstFrame = -1;
    std::int64_t notANumber = 0;
    std::int64_t infinite = 0;  // the rest of `count` is finite but absurdly loud

    static bool usable(float x) { return std::fabs(x) <= kAbsurd; }  // false for NaN too
    // Counts `x`, known to be unusable, found at `frame`.
    void add(float x, std::int64_t frame);
};

// "7000 of its 16000 samples are not numbers or infinite, the first at 0:00.023"
std::string unusableText(const UnusableSamples& found, std::int64_t samples, double sampleRate);

}  // namespace vsthost
