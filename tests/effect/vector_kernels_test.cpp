// The vector remainder, sine and cosine at the edges of what they compute
// themselves, and beyond, where they hand lanes to the library: the same
// bits as the library everywhere, in either floating-point mode.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include "effect/avx2/kernels.h"
#include "effect/subnormal_flush.h"
#include "effect/sweep.h"
#include "effect/vector_support.h"
#include "support/float_bits.h"

namespace {

float (*volatile librarySin)(float) = sinf;
float (*volatile libraryCos)(float) = cosf;
float (*volatile libraryFmod)(float, float) = fmodf;

// Each value, its neighbours and its negatives.
std::vector<float> around(std::initializer_list<float> values) {
    std::vector<float> all;
    for (const float v : values)
        for (const float s : {v, -v}) {
            all.push_back(s);
            if (std::isfinite(s) && s != 0.0f) {
                all.push_back(std::nextafter(s, 0.0f));
                all.push_back(std::nextafter(s, 2.0f * s));
            }
        }
    return all;
}

const float kInf = std::numeric_limits<float>::infinity();
const float kNaN = std::numeric_limits<float>::quiet_NaN();

class VectorKernels : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (!processorRunsAvx2Fma()) GTEST_SKIP() << "no AVX2 and FMA on this machine";
    }
};

TEST_P(VectorKernels, SinCosAtTheEdges) {
    std::vector<float> angles =
        around({0.0f, std::numeric_limits<float>::denorm_min(), 1.0e-40f, std::numeric_limits<float>::min(), 0x1p-12f,
                0.75f, 0.7853982f, 1.5707964f, kMaxAngle, 3.1415927f, 100.0f, 120.0f, 1.0e6f, 1.0e30f,
                std::numeric_limits<float>::max(), kInf, kNaN});
    // And every 4099th float across the range the polynomials cover, both signs.
    for (std::uint32_t b = 0; b < bitsOf(120.0f); b += 4099) {
        angles.push_back(fromBits(b));
        angles.push_back(-fromBits(b));
    }
    const bool flushing = GetParam();
    std::vector<float> s(angles.size()), c(angles.size());
    std::optional<SubnormalFlush> flush;
    if (flushing) flush.emplace();
    std::vector<float> arcs(angles.size());
    librarySinCosAvx2(angles.data(), s.data(), c.data(), angles.size());
    librarySineOfArcAvx2(angles.data(), arcs.data(), angles.size());
    for (std::size_t j = 0; j < angles.size(); ++j) {
        const std::uint32_t sine = bitsOf(librarySin(angles[j]));
        ASSERT_EQ(bitsOf(s[j]), sine) << angles[j];
        ASSERT_EQ(bitsOf(c[j]), bitsOf(libraryCos(angles[j]))) << angles[j];
        ASSERT_EQ(bitsOf(arcs[j]), sine) << angles[j];  // outside 0 to 2 by the library
    }
}

TEST_P(VectorKernels, RemainderAtTheEdges) {
    std::optional<SubnormalFlush> flush;
    if (GetParam()) flush.emplace();
    for (std::size_t i = 0; i < periodDivisors.size(); ++i) {
        const float period = periodLength(static_cast<std::int32_t>(i));
        const std::vector<float> positions =
            around({0.0f, std::numeric_limits<float>::denorm_min(), 1.0e-40f, period, 2.0f * period, 3.0f * period,
                    4096.0f, 16777216.0f, 0x1p40f, 0x1p41f, 1.0e30f, std::numeric_limits<float>::max(), kInf, kNaN});
        std::vector<float> r(positions.size());
        exactRemainderAvx2(positions.data(), period, r.data(), positions.size());
        for (std::size_t j = 0; j < positions.size(); ++j)
            ASSERT_EQ(bitsOf(r[j]), bitsOf(libraryFmod(positions[j], period))) << positions[j] << " by " << period;
    }
}

INSTANTIATE_TEST_SUITE_P(Mode, VectorKernels, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "flushing" : "plain"; });

}  // namespace
