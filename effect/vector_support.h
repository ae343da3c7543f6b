// Whether this machine can run the sweep's vector steps. Asked by each
// instance when it is made, never at load time, and kept nowhere else.
#pragma once

// The processor has AVX2 and FMA and the operating system saves their
// registers (read from cpuid and xgetbv directly, with no cache that a
// constructor would have to fill at load time).
bool processorRunsAvx2Fma();

// The above, and the maths library answers as the vector steps do at points
// where its variants and correct rounding all differ: then its sinf and cosf
// are the variant the vector steps reproduce.
bool vectorStepsAvailable();
