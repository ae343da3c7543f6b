// Counts heap allocations made on the thread that switched counting on, by
// anything running there, a loaded plug-in included. An executable that
// links this library defines the C allocation functions itself, in front of
// the C library's, and exports them, so calls from a plug-in loaded later
// reach them too. Not available under sanitizers, which bring allocators of
// their own. Used by the validator and by the tests; depends on nothing.
#pragma once

#include <cstdint>

namespace allocation_counter {

bool available();
void start();
// Allocations since start().
std::int64_t stop();

}  // namespace allocation_counter
