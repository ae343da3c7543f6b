#include "control_ports.h"

#include <cmath>
#include <cstdint>

#include "effect/sweep.h"

namespace {

constexpr float kLowestFrequency = 20.0f;
constexpr float kHighestFrequency = 20000.0f;
// The VST 2.4 mapping x * 14 + 0.14 gives exactly these single floats at 0 and 1.
constexpr float kLowestQ = 0.14f;
constexpr float kHighestQ = 14.14f;
constexpr float kLastNote = static_cast<float>(periodDivisors.size() - 1);

bool readable(const float* port) { return port != nullptr && !std::isnan(*port); }

float heldTo(float value, float lowest, float highest) {
    return value < lowest ? lowest : (value > highest ? highest : value);
}

}  // namespace

void ControlPorts::applyTo(Wobble& wobble) const {
    // A host that slides over the enumeration lands on the nearest note value.
    if (readable(period)) wobble.periodIndex = static_cast<std::int32_t>(std::lround(heldTo(*period, 0.0f, kLastNote)));
    if (readable(freq1)) wobble.freq1 = heldTo(*freq1, kLowestFrequency, kHighestFrequency);
    if (readable(freq2)) wobble.freq2 = heldTo(*freq2, kLowestFrequency, kHighestFrequency);
    if (readable(q)) wobble.q = heldTo(*q, kLowestQ, kHighestQ);
    // One rounded division: n % gives the same float as the VST 2.4 host value n / 100.
    if (readable(mix)) wobble.mix = heldTo(*mix, 0.0f, 100.0f) / 100.0f;
}
