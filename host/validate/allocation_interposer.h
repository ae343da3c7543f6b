// Counts heap allocations made by anything in the process, the loaded
// plug-in included, while counting is switched on. The validator defines the
// C allocation functions itself, in front of the C library's, and exports
// them, so calls from a plug-in loaded later reach them too. Not available
// under sanitizers, which bring allocators of their own.
#pragma once

#include <cstdint>

namespace vsthost::validate::allocations {

bool available();
void startCounting();
// Allocations since startCounting().
std::int64_t stopCounting();

}  // namespace vsthost::validate::allocations
