// The five control ports. Each carries a working value of the wobble itself,
// in the unit a host shows (the Period as the index of its note value, Mix
// in percent), held to the range the VST 2.4 plug-in's parameters reach, so
// that one setting gives the same bits in either plug-in.
#pragma once

#include <array>

#include "effect/wobble.h"

class ControlPorts {
public:
    // Port 0 to 4: period, freq1, freq2, q, mix.
    void connect(std::size_t port, const float* value) { ports[port] = value; }
    // Reads every connected port into the wobble; a port that is not a
    // number leaves its working value as it was.
    void applyTo(Wobble& wobble);
    // The next applyTo() writes every value, as to a fresh wobble.
    void forget() { applied = false; }

private:
    std::array<const float*, 5> ports{};
    std::array<float, 5> last{};  // as read by the last applyTo()
    bool applied = false;
};
