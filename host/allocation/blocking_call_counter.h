// Counts calls that may block, made on the thread that switched counting
// on: taking a mutex or a read-write lock, reading, writing, opening,
// polling and sleeping, through the C library. As the allocation counter,
// an executable that links this library defines those functions itself, in
// front of the C library's, and exports them, so that calls from a plug-in
// loaded later reach them too. Not available under sanitizers, which
// intercept the same functions.
#pragma once

#include <cstdint>

namespace blocking_call_counter {

bool available();
void start();
// Calls since start().
std::int64_t stop();
// The name of the first call counted since start(), or "".
const char* first();

}  // namespace blocking_call_counter
