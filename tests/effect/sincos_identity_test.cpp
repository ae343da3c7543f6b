// The compiler turns a sinf and a cosf of the same angle into one sincosf
// call, which must give exactly the bits of the two separate ones. Every
// angle the filter can take is checked in sincos_identity_exhaustive_test;
// here, the values that are not angles.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/float_bits.h"

namespace {

// Called through pointers the compiler cannot see through, so the separate
// functions are really called separately.
float (*volatile separateSin)(float) = sinf;
float (*volatile separateCos)(float) = cosf;
void (*volatile pairedSinCos)(float, float*, float*) = sincosf;

TEST(SinCosIdentity, ValuesThatAreNotAngles) {
    const float inf = std::numeric_limits<float>::infinity();
    const float special[] = {0.0f,   -0.0f,  inf,        -inf, std::numeric_limits<float>::quiet_NaN(),
                             1e-30f, -1e-5f, 3.1415927f, 1e6f, -123456.78f};
    for (const float w : special) {
        float s, c;
        pairedSinCos(w, &s, &c);
        const float ss = separateSin(w), cc = separateCos(w);
        EXPECT_TRUE(bitsOf(s) == bitsOf(ss) || (std::isnan(s) && std::isnan(ss))) << w;
        EXPECT_TRUE(bitsOf(c) == bitsOf(cc) || (std::isnan(c) && std::isnan(cc))) << w;
    }
}

}  // namespace
