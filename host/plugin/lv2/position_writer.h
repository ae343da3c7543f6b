// The song's position as LV2 tells it: the time:Position object a host
// writes at the start of every block into each atom input that takes one,
// and the same values for control ports designated to carry them.
#pragma once

#include <lv2/atom/forge.h>

#include <cstdint>

#include "urid_map.h"

namespace vsthost {

class Transport;

// Beats count in the time signature's beat unit, as time:Position does; a
// quarter note when it is 4.
struct TimePosition {
    std::int64_t bar;
    float barBeat;
    double beat;  // since the song's start
    std::int32_t beatUnit;
    float beatsPerBar;
    float beatsPerMinute;
    std::int64_t frame;
    float speed;  // 1 playing, 0 stopped
};

TimePosition timePosition(const Transport& clock);

class PositionWriter {
public:
    explicit PositionWriter(UridMap& map);

    // A sequence holding one time:Position at the block's first frame. Each
    // property has the type the time vocabulary gives it (the beat a
    // double, the tempo a float), which is what plug-ins check for.
    void writePosition(const TimePosition& position, void* buffer, std::uint32_t capacity);
    // A sequence with no events, for an atom input that takes no position.
    void writeEmpty(void* buffer, std::uint32_t capacity);
    // Room for a plug-in's output: a chunk as large as the buffer.
    void prepareOutput(void* buffer, std::uint32_t capacity) const;

    // The value a control port designated with `designation` carries, or
    // false when the designation is not one of the position's.
    bool designatedValue(const char* designation, const TimePosition& position, float& value) const;

private:
    void begin(void* buffer, std::uint32_t capacity, LV2_Atom_Forge_Frame& sequence);

    LV2_Atom_Forge forge_{};
    LV2_URID chunk_;
    LV2_URID position_;
    LV2_URID bar_, barBeat_, beat_, beatUnit_, beatsPerBar_, beatsPerMinute_, frame_, speed_;
};

}  // namespace vsthost
