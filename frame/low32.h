// The 32 bits an integer of the record's pointer width carries where a
// 32-bit value is meant (an index, a count, a host's answer): the upper half
// is whatever the other side left there, and is dropped.
#pragma once

#include <cstdint>

inline std::int32_t low32(std::intptr_t value) { return static_cast<std::int32_t>(value); }
