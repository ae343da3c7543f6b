#include "vector_support.h"

#if defined(DRAVELKINT_AVX2_STEPS)
#include <cpuid.h>

#include "effect/avx2/kernels.h"
#endif

bool processorRunsAvx2Fma() {
#if defined(DRAVELKINT_AVX2_STEPS)
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid_max(0, nullptr) < 7 || !__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
    const unsigned needed = bit_FMA | bit_OSXSAVE | bit_AVX;
    if ((ecx & needed) != needed) return false;
    // XCR0 bits 1 and 2: the operating system saves the XMM and YMM registers.
    unsigned low = 0, high = 0;
    __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    if ((low & 0x6u) != 0x6u) return false;
    __cpuid_count(7, 0, eax, ebx, ecx, edx);
    return (ebx & bit_AVX2) != 0;
#else
    return false;
#endif
}

bool vectorStepsAvailable() {
#if defined(DRAVELKINT_AVX2_STEPS)
    return processorRunsAvx2Fma() && avx2SinCosMatchLibrary();
#else
    return false;
#endif
}
