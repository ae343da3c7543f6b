// A filter that decays at a low cut-off settles into a limit cycle of
// subnormal values instead of reaching zero, and every operation on those
// costs tens of cycles: silence after a loud note would cost seven times a
// normal signal for ever. While a block is processed, subnormal results are
// flushed to zero and subnormal operands read as zero; the caller's mode is
// restored on return. Normal-range signals keep every bit.
#pragma once

#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

class SubnormalFlush {
public:
#if defined(__SSE2__)
    SubnormalFlush() : saved(_mm_getcsr()) { _mm_setcsr(saved | kFlushToZero | kDenormalsAreZero); }
    ~SubnormalFlush() { _mm_setcsr(saved); }

private:
    static constexpr unsigned kFlushToZero = 0x8000;
    static constexpr unsigned kDenormalsAreZero = 0x0040;
    unsigned saved;
#elif defined(__aarch64__)
    SubnormalFlush() {
        __asm__ volatile("mrs %0, fpcr" : "=r"(saved));
        const unsigned long long flushing = saved | kFlushToZero;
        __asm__ volatile("msr fpcr, %0" : : "r"(flushing));
    }
    ~SubnormalFlush() { __asm__ volatile("msr fpcr, %0" : : "r"(saved)); }

private:
    static constexpr unsigned long long kFlushToZero = 1ull << 24;
    unsigned long long saved;
#endif
public:
    SubnormalFlush(const SubnormalFlush&) = delete;
    SubnormalFlush& operator=(const SubnormalFlush&) = delete;
};
