// The one way text enters a host buffer: at most `bound` characters of
// `source`, the rest of the first `bound` bytes NUL, and a NUL at position
// `bound`, so bound + 1 bytes in all. A negative bound writes nothing.
#pragma once

#include <cstdint>

inline void copyBounded(char* dest, const char* source, std::int32_t bound) {
    if (bound < 0) return;
    std::int32_t i = 0;
    for (; i < bound && source[i] != '\0'; ++i) dest[i] = source[i];
    for (; i <= bound; ++i) dest[i] = '\0';
}
