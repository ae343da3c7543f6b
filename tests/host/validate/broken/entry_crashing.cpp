// Broken on purpose: exports only `main`, which prints a line and crashes
// before answering a record. Shows which entry was called, and that a line
// printed just before a crash is not lost in a buffer.
#include <cstdio>

#include "frame/effect_record.h"

// "main" cannot be declared under its own name with this signature in C++.
extern "C" __attribute__((visibility("default"))) AEffect* entryPoint(audioMasterCallback) __asm__("main");

extern "C" AEffect* entryPoint(audioMasterCallback) {
    std::printf("entry: about to crash\n");
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
    return nullptr;
}
