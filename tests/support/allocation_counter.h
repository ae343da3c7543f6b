// Counts heap allocations made by anything in the process (the dlopened
// plug-in included) while a scope is open. Unavailable under sanitizers,
// which own the allocator themselves.
#pragma once

#include <cstdint>

namespace allocation_counter {

bool available();
void start();
std::int64_t stop();  // allocations since start()

}  // namespace allocation_counter
