#include "control_ports.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "effect/sweep.h"
#include "port_layout.h"

namespace {

constexpr float kLowestFrequency = 20.0f;
constexpr float kHighestFrequency = 20000.0f;
// The VST 2.4 mapping x * 14 + 0.14 gives exactly these single floats at 0 and 1.
constexpr float kLowestQ = 0.14f;
constexpr float kHighestQ = 14.14f;
constexpr float kLastNote = static_cast<float>(periodDivisors.size() - 1);

float heldTo(float value, float lowest, float highest) {
    return value < lowest ? lowest : (value > highest ? highest : value);
}

}  // namespace

void ControlPorts::applyTo(Wobble& wobble) {
    std::array<float, 5> now;
    for (std::size_t i = 0; i < now.size(); ++i)
        now[i] = ports[i] != nullptr ? *ports[i] : std::numeric_limits<float>::quiet_NaN();
    // Hosts change a setting far less often than they run the plug-in.
    if (applied && std::memcmp(now.data(), last.data(), sizeof now) == 0) return;
    last = now;
    applied = true;

    // A host that slides over the enumeration lands on the nearest note value
    // (the value is held non-negative, so adding a half and truncating rounds).
    if (!std::isnan(now[kPeriodPort]))
        wobble.periodIndex = static_cast<std::int32_t>(heldTo(now[kPeriodPort], 0.0f, kLastNote) + 0.5f);
    if (!std::isnan(now[kFreq1Port])) wobble.freq1 = heldTo(now[kFreq1Port], kLowestFrequency, kHighestFrequency);
    if (!std::isnan(now[kFreq2Port])) wobble.freq2 = heldTo(now[kFreq2Port], kLowestFrequency, kHighestFrequency);
    if (!std::isnan(now[kQPort])) wobble.q = heldTo(now[kQPort], kLowestQ, kHighestQ);
    // One rounded division: n % gives the same float as the VST 2.4 host value n / 100.
    if (!std::isnan(now[kMixPort])) wobble.mix = heldTo(now[kMixPort], 0.0f, 100.0f) / 100.0f;
}
