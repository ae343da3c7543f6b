// The five control ports. Each carries a working value of the wobble itself,
// in the unit a host shows (the Period as the index of its note value, Mix
// in percent), held to the range the VST 2.4 plug-in's parameters reach, so
// that one setting gives the same bits in either plug-in.
#pragma once

#include "effect/wobble.h"

struct ControlPorts {
    // Reads every connected port into the wobble; a port that is not a
    // number leaves its working value as it was.
    void applyTo(Wobble& wobble) const;

    const float* period = nullptr;
    const float* freq1 = nullptr;
    const float* freq2 = nullptr;
    const float* q = nullptr;
    const float* mix = nullptr;
};
