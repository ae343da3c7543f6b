// Reads the time extension's position objects from the transport port: the
// URIDs of the object, its properties and the number types they may come in,
// mapped once when the plug-in is made.
#pragma once

#include <lv2/atom/atom.h>
#include <lv2/urid/urid.h>

#include <array>

#include "song_clock.h"

class PositionReader {
public:
    // Without the host's map nothing can be read, and the plug-in behaves as
    // for a host that sends no position.
    explicit PositionReader(const LV2_URID_Map* map);

    bool isSequence(const LV2_Atom& atom) const { return sequence != 0 && atom.type == sequence; }
    // True when `atom` is a time:Position; `update` then holds what it said.
    bool read(const LV2_Atom& atom, PositionUpdate& update) const;

    static constexpr std::size_t kProperties = 7;

private:
    // NaN for anything but a number.
    double number(const LV2_Atom& atom) const;

    LV2_URID sequence = 0;
    LV2_URID object = 0;
    LV2_URID blank = 0;
    LV2_URID position = 0;
    LV2_URID intType = 0;
    LV2_URID longType = 0;
    LV2_URID floatType = 0;
    LV2_URID doubleType = 0;
    std::array<LV2_URID, kProperties> properties{};
};
