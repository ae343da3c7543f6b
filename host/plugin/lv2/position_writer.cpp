#include "position_writer.h"

#include <lv2/time/time.h>

#include <cmath>
#include <cstring>

#include "host/song/transport.h"

namespace vsthost {

TimePosition timePosition(const Transport& clock) {
    const TimeSignature signature = clock.timeSignature();
    // Quarter notes to beats of the signature's unit; exact for the powers
    // of two that units are, so a plug-in that turns them back into quarter
    // notes finds the host's position to the bit.
    const double perQuarter = signature.denominator / 4.0;
    const double quarterNotes = clock.ppqPosition();
    const double barStart = clock.barStart();
    const double barLength = signature.numerator / perQuarter;
    return {
        static_cast<std::int64_t>(std::llround(barStart / barLength)),
        static_cast<float>((quarterNotes - barStart) * perQuarter),
        quarterNotes * perQuarter,
        signature.denominator,
        static_cast<float>(signature.numerator),
        static_cast<float>(clock.tempo() * perQuarter),
        clock.samplePosition(),
        clock.playing() ? 1.0f : 0.0f,
    };
}

PositionWriter::PositionWriter(UridMap& map)
    : chunk_(map.map(LV2_ATOM__Chunk)),
      position_(map.map(LV2_TIME__Position)),
      bar_(map.map(LV2_TIME__bar)),
      barBeat_(map.map(LV2_TIME__barBeat)),
      beat_(map.map(LV2_TIME__beat)),
      beatUnit_(map.map(LV2_TIME__beatUnit)),
      beatsPerBar_(map.map(LV2_TIME__beatsPerBar)),
      beatsPerMinute_(map.map(LV2_TIME__beatsPerMinute)),
      frame_(map.map(LV2_TIME__frame)),
      speed_(map.map(LV2_TIME__speed)) {
    lv2_atom_forge_init(&forge_, map.mapFeature());
}

void PositionWriter::begin(void* buffer, std::uint32_t capacity, LV2_Atom_Forge_Frame& sequence) {
    lv2_atom_forge_set_buffer(&forge_, static_cast<std::uint8_t*>(buffer), capacity);
    lv2_atom_forge_sequence_head(&forge_, &sequence, 0);
}

void PositionWriter::writePosition(const TimePosition& p, void* buffer, std::uint32_t capacity) {
    LV2_Atom_Forge_Frame sequence;
    begin(buffer, capacity, sequence);
    lv2_atom_forge_frame_time(&forge_, 0);
    LV2_Atom_Forge_Frame object;
    lv2_atom_forge_object(&forge_, &object, 0, position_);
    lv2_atom_forge_key(&forge_, frame_);
    lv2_atom_forge_long(&forge_, p.frame);
    lv2_atom_forge_key(&forge_, speed_);
    lv2_atom_forge_float(&forge_, p.speed);
    lv2_atom_forge_key(&forge_, bar_);
    lv2_atom_forge_long(&forge_, p.bar);
    lv2_atom_forge_key(&forge_, barBeat_);
    lv2_atom_forge_float(&forge_, p.barBeat);
    lv2_atom_forge_key(&forge_, beat_);
    lv2_atom_forge_double(&forge_, p.beat);
    lv2_atom_forge_key(&forge_, beatUnit_);
    lv2_atom_forge_int(&forge_, p.beatUnit);
    lv2_atom_forge_key(&forge_, beatsPerBar_);
    lv2_atom_forge_float(&forge_, p.beatsPerBar);
    lv2_atom_forge_key(&forge_, beatsPerMinute_);
    lv2_atom_forge_float(&forge_, p.beatsPerMinute);
    lv2_atom_forge_pop(&forge_, &object);
    lv2_atom_forge_pop(&forge_, &sequence);
}

void PositionWriter::writeEmpty(void* buffer, std::uint32_t capacity) {
    LV2_Atom_Forge_Frame sequence;
    begin(buffer, capacity, sequence);
    lv2_atom_forge_pop(&forge_, &sequence);
}

void PositionWriter::prepareOutput(void* buffer, std::uint32_t capacity) const {
    auto* atom = static_cast<LV2_Atom*>(buffer);
    atom->type = chunk_;
    atom->size = capacity - static_cast<std::uint32_t>(sizeof(LV2_Atom));
}

bool PositionWriter::designatedValue(const char* designation, const TimePosition& p, float& value) const {
    struct Designated {
        const char* uri;
        double value;
    };
    const Designated designated[] = {
        {LV2_TIME__bar, static_cast<double>(p.bar)},
        {LV2_TIME__barBeat, p.barBeat},
        {LV2_TIME__beat, p.beat},
        {LV2_TIME__beatUnit, static_cast<double>(p.beatUnit)},
        {LV2_TIME__beatsPerBar, p.beatsPerBar},
        {LV2_TIME__beatsPerMinute, p.beatsPerMinute},
        {LV2_TIME__frame, static_cast<double>(p.frame)},
        {LV2_TIME__speed, p.speed},
    };
    for (const Designated& d : designated)
        if (std::strcmp(designation, d.uri) == 0) {
            value = static_cast<float>(d.value);
            return true;
        }
    return false;
}

}  // namespace vsthost
