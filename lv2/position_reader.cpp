#include "position_reader.h"

#include <lv2/atom/util.h>
#include <lv2/time/time.h>

#include <cstdint>
#include <cstring>

namespace {

struct Property {
    const char* uri;
    double PositionUpdate::*field;
};

constexpr std::array<Property, PositionReader::kProperties> kRead{{
    {LV2_TIME__bar, &PositionUpdate::bar},
    {LV2_TIME__barBeat, &PositionUpdate::barBeat},
    {LV2_TIME__beat, &PositionUpdate::beat},
    {LV2_TIME__beatUnit, &PositionUpdate::beatUnit},
    {LV2_TIME__beatsPerBar, &PositionUpdate::beatsPerBar},
    {LV2_TIME__beatsPerMinute, &PositionUpdate::beatsPerMinute},
    {LV2_TIME__speed, &PositionUpdate::speed},
}};

// The body of a number atom, read only when the atom is large enough to hold it.
template <typename T>
double bodyOf(const LV2_Atom& atom) {
    if (atom.size < sizeof(T)) return PositionUpdate::kUnsaid;
    T value;
    std::memcpy(&value, &atom + 1, sizeof value);
    return static_cast<double>(value);
}

}  // namespace

PositionReader::PositionReader(const LV2_URID_Map* map) {
    if (map == nullptr) return;
    auto id = [map](const char* uri) { return map->map(map->handle, uri); };
    object = id(LV2_ATOM__Object);
    blank = id(LV2_ATOM__Blank);
    position = id(LV2_TIME__Position);
    intType = id(LV2_ATOM__Int);
    longType = id(LV2_ATOM__Long);
    floatType = id(LV2_ATOM__Float);
    doubleType = id(LV2_ATOM__Double);
    for (std::size_t i = 0; i < kProperties; ++i) properties[i] = id(kRead[i].uri);
    sequence = id(LV2_ATOM__Sequence);
}

double PositionReader::number(const LV2_Atom& atom) const {
    if (atom.type == floatType) return bodyOf<float>(atom);
    if (atom.type == doubleType) return bodyOf<double>(atom);
    if (atom.type == intType) return bodyOf<std::int32_t>(atom);
    if (atom.type == longType) return bodyOf<std::int64_t>(atom);
    return PositionUpdate::kUnsaid;
}

bool PositionReader::read(const LV2_Atom& atom, PositionUpdate& update) const {
    if (sequence == 0 || (atom.type != object && atom.type != blank) || atom.size < sizeof(LV2_Atom_Object_Body))
        return false;
    const auto* objectAtom = reinterpret_cast<const LV2_Atom_Object*>(&atom);
    if (objectAtom->body.otype != position) return false;
    update = PositionUpdate{};
    // Properties are read only as far as the object's size reaches, which
    // the event that holds it has already been found to hold.
    const auto* body = reinterpret_cast<const std::uint8_t*>(&objectAtom->body);
    for (std::uint64_t offset = sizeof(LV2_Atom_Object_Body);
         offset <= atom.size && atom.size - offset >= sizeof(LV2_Atom_Property_Body);) {
        const auto* property = reinterpret_cast<const LV2_Atom_Property_Body*>(body + offset);
        if (property->value.size > atom.size - offset - sizeof(LV2_Atom_Property_Body)) break;
        for (std::size_t i = 0; i < kProperties; ++i) {
            if (property->key != properties[i]) continue;
            update.*kRead[i].field = number(property->value);
            break;
        }
        offset += sizeof(LV2_Atom_Property_Body) + lv2_atom_pad_size(property->value.size);
    }
    return true;
}
