#include "patch_writer.h"

#include <lv2/atom/util.h>
#include <lv2/patch/patch.h>

#include <cstring>

namespace vsthost {

PatchWriter::PatchWriter(UridMap& map)
    : set_(map.map(LV2_PATCH__Set)), property_(map.map(LV2_PATCH__property)), value_(map.map(LV2_PATCH__value)) {
    lv2_atom_forge_init(&forge_, map.mapFeature());
}

bool PatchWriter::appendSet(void* buffer, std::uint32_t capacity, LV2_URID property, PropertyRange range,
                            double value) {
    // The event is made apart and copied in: the forge cannot take up a
    // sequence it did not begin.
    lv2_atom_forge_set_buffer(&forge_, reinterpret_cast<std::uint8_t*>(event_.data()), sizeof event_);
    lv2_atom_forge_frame_time(&forge_, 0);
    LV2_Atom_Forge_Frame object;
    lv2_atom_forge_object(&forge_, &object, 0, set_);
    lv2_atom_forge_key(&forge_, property_);
    lv2_atom_forge_urid(&forge_, property);
    lv2_atom_forge_key(&forge_, value_);
    switch (range) {
        case PropertyRange::float32: lv2_atom_forge_float(&forge_, static_cast<float>(value)); break;
        case PropertyRange::float64: lv2_atom_forge_double(&forge_, value); break;
        case PropertyRange::int32:
            lv2_atom_forge_int(&forge_, static_cast<std::int32_t>(representable(range, value)));
            break;
        case PropertyRange::int64:
            lv2_atom_forge_long(&forge_, static_cast<std::int64_t>(representable(range, value)));
            break;
        case PropertyRange::boolean: lv2_atom_forge_bool(&forge_, value != 0.0); break;
    }
    lv2_atom_forge_pop(&forge_, &object);

    const auto* event = reinterpret_cast<const LV2_Atom_Event*>(event_.data());
    const std::uint32_t size = lv2_atom_pad_size(static_cast<std::uint32_t>(sizeof(LV2_Atom_Event)) + event->body.size);
    auto* sequence = static_cast<LV2_Atom_Sequence*>(buffer);
    const std::uint32_t used = static_cast<std::uint32_t>(sizeof(LV2_Atom)) + lv2_atom_pad_size(sequence->atom.size);
    if (used > capacity || capacity - used < size) return false;
    std::memcpy(static_cast<std::uint8_t*>(buffer) + used, event, size);
    sequence->atom.size = used - static_cast<std::uint32_t>(sizeof(LV2_Atom)) + size;
    return true;
}

}  // namespace vsthost
