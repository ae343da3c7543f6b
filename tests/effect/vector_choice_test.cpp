// Each instance takes the vector steps only where the maths library runs the
// variant they reproduce. CTest runs this twice: as it is, and with the
// library told to run its plain variants (GLIBC_TUNABLES).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "effect/vector_support.h"
#include "effect/wobble.h"

namespace {

bool libraryToldToRunPlain() {
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    return tunables != nullptr && std::strstr(tunables, "-FMA") != nullptr;
}

TEST(VectorChoice, FollowsTheProcessorAndTheLibrary) {
    const bool expected = processorRunsAvx2Fma() && !libraryToldToRunPlain();
    EXPECT_EQ(vectorStepsAvailable(), expected);
    Wobble chosen, forced;
    EXPECT_EQ(chosen.steps(), expected ? SweepSteps::avx2 : SweepSteps::scalar);
    EXPECT_EQ(forced.useSteps(SweepSteps::avx2), expected);
    EXPECT_TRUE(forced.useSteps(SweepSteps::scalar));
    EXPECT_EQ(forced.steps(), SweepSteps::scalar);
}

}  // namespace
