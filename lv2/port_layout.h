// The plug-in's ports by index, as dravelkint.ttl numbers them: the five
// settings first, in the order of the VST 2.4 plug-in's parameters.
#pragma once

#include <cstdint>

enum PortIndex : std::uint32_t {
    kPeriodPort,
    kFreq1Port,
    kFreq2Port,
    kQPort,
    kMixPort,
    kInLeftPort,
    kInRightPort,
    kOutLeftPort,
    kOutRightPort,
    kTransportPort,  // time:Position atoms
};
