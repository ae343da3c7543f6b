// Setting a plug-in's patch:writable properties: a patch:Set of each changed
// value, added at the block's first frame to the sequence the host has
// already written into the atom input that takes them, after the position
// where the same port takes both.
#pragma once

#include <lv2/atom/forge.h>

#include <array>
#include <cstdint>

#include "property_table.h"
#include "urid_map.h"

namespace vsthost {

class PatchWriter {
public:
    explicit PatchWriter(UridMap& map);

    // Appends to the sequence in `buffer` (`capacity` bytes, its header
    // included) a patch:Set of `property` to `value` as an atom of `range`.
    // Answers false, the sequence left as it was, where it has no room.
    bool appendSet(void* buffer, std::uint32_t capacity, LV2_URID property, PropertyRange range, double value);

private:
    LV2_Atom_Forge forge_{};
    // One event: its frame, the object's header and two properties.
    std::array<std::uint64_t, 16> event_{};
    LV2_URID set_;
    LV2_URID property_;
    LV2_URID value_;
};

}  // namespace vsthost
