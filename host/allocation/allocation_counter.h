// Counts heap allocations made by anything in the process, a loaded plug-in
// included, while counting is switched on. An executable that links this
// library defines the C allocation functions itself, in front of the C
// library's, and exports them, so calls from a plug-in loaded later reach
// them too. Not available under sanitizers, which bring allocators of their
// own. Used by the validator and by the tests; depends on nothing.
#pragma once

#include <cstdint>

namespace allocation_counter {

bool available();
void start();
// Allocations since start().
std::int64_t stop();

}  // namespace allocation_counter
