// The compiler turns a sinf and a cosf of the same angle into one sincosf
// call. The processor's output keeps its bits only if that call gives
// exactly the bits of the two separate ones: checked here for every float
// the cut-off angle can take, about 150 million.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "effect/sweep.h"
#include "support/float_bits.h"

namespace {

// Called through pointers the compiler cannot see through, so the separate
// functions are really called separately.
float (*volatile separateSin)(float) = sinf;
float (*volatile separateCos)(float) = cosf;
void (*volatile pairedSinCos)(float, float*, float*) = sincosf;

// Number of angles in [from, to] whose paired results differ from the separate ones.
std::int64_t mismatchesBetween(float from, float to, float& first) {
    const auto sinOf = separateSin;
    const auto cosOf = separateCos;
    const auto both = pairedSinCos;
    std::int64_t mismatches = 0;
    for (std::uint32_t b = bitsOf(from), end = bitsOf(to); b <= end; ++b) {
        const float w = fromBits(b);
        float s, c;
        both(w, &s, &c);
        if (bitsOf(s) != bitsOf(sinOf(w)) || bitsOf(c) != bitsOf(cosOf(w))) {
            if (mismatches == 0) first = w;
            ++mismatches;
        }
    }
    return mismatches;
}

TEST(SinCosIdentity, EveryAngleTheFilterCanTake) {
    float first = 0.0f;
    EXPECT_EQ(mismatchesBetween(kMinAngle, kMaxAngle, first), 0) << "first at " << first;
}

}  // namespace
