// lv2-probe's count of the allocations and frees made while it lets it run.
#pragma once

namespace allocation_count {

void start();  // counts from here, on every thread
void stop();
bool counting();
long made();  // malloc, calloc, realloc and the aligned ones since the program began
long freed();

}  // namespace allocation_count
