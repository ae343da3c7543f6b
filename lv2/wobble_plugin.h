// One instance of the LV2 plug-in: the wobble, its ports, and the song's
// position as the host last gave it.
#pragma once

#include <lv2/atom/atom.h>
#include <lv2/urid/urid.h>

#include <cstdint>

#include "control_ports.h"
#include "effect/wobble.h"
#include "position_reader.h"
#include "song_clock.h"

class WobblePlugin {
public:
    WobblePlugin(float sampleRate, const LV2_URID_Map* map);

    void connect(std::uint32_t port, void* data);
    // Forgets the filters' histories and the song's position.
    void activate();
    // Reads the control ports, then processes the frames in spans, each
    // position update taking effect at its frame.
    void run(std::uint32_t frames);

private:
    void processSpan(std::uint32_t from, std::uint32_t to);

    float sampleRate;
    Wobble wobble;
    ControlPorts controls;
    const float* inputs[2] = {nullptr, nullptr};
    float* outputs[2] = {nullptr, nullptr};
    const LV2_Atom_Sequence* transport = nullptr;
    PositionReader reader;
    SongClock clock;
};
