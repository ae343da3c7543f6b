// The sweep's numbers: phase, cut-off and coefficients at known points.
#include "effect/sweep.h"

#include <gtest/gtest.h>

#include <cmath>

#include "effect/biquad.h"
#include "support/ulp.h"

namespace {

const float kSin80 = sinf(kEightyDegrees);

float cutoffHz(float h) { return cutoffOmega(sweepAmount(h, kSin80), 500.0f, 20000.0f) / kTwoPi; }

TEST(Sweep, CutOffAgainstPhase) {
    EXPECT_EQ(cutoffOmega(sweepAmount(0.0f, kSin80), 500.0f, 20000.0f), 125663.71f);
    EXPECT_EQ(cutoffOmega(sweepAmount(0.5f, kSin80), 500.0f, 20000.0f), 3141.59277f);
    const struct {
        float h, hz;
    } points[] = {{0.125f, 9916.2f}, {0.25f, 3475.3f}, {0.375f, 974.79f}, {0.249931961f, 3477.6f}};
    for (const auto& p : points) EXPECT_NEAR(cutoffHz(p.h), p.hz, p.hz * 2e-5) << p.h;
    // Phase h and 1 - h give the same cut-off (for phases whose 1 - h is exact).
    for (float h : {0.015625f, 0.125f, 0.2f, 0.375f, 0.4375f}) EXPECT_EQ(cutoffHz(h), cutoffHz(1.0f - h)) << h;
}

TEST(Sweep, FrequenciesInEitherOrderAndEqual) {
    EXPECT_EQ(cutoffOmega(sweepAmount(0.5f, kSin80), 8000.0f, 200.0f) / kTwoPi, 8000.0f);
    EXPECT_EQ(cutoffOmega(sweepAmount(0.0f, kSin80), 8000.0f, 200.0f) / kTwoPi, 200.0f);
    for (float h : {0.0f, 0.1f, 0.3f, 0.5f, 0.9f})
        EXPECT_EQ(cutoffOmega(sweepAmount(h, kSin80), 700.0f, 700.0f), 700.0f * kTwoPi);
}

TEST(Sweep, PeriodLengthsAndThePhaseOfAWholeQuarterNote) {
    EXPECT_EQ(periodLength(0), 4.0f);
    EXPECT_EQ(periodLength(6), 0.333333343f);
    EXPECT_EQ(periodLength(11), 0.0625f);
    // Sample 22050 at 120 BPM and 44100 Hz is position 1.0: just short of a period end.
    const double step = quarterNotesPerSample(44100.0f, 120.0);
    EXPECT_EQ(step, 1.0 / 22050.0);
    const float position = positionAt(22050, step, 0.0);
    EXPECT_EQ(position, 1.0f);
    EXPECT_EQ(phaseAt(position, periodLength(6)), 0.99999994f);
    EXPECT_EQ(phaseAt(positionAt(3675, step, 0.0), periodLength(6)), 0.5f);
    EXPECT_EQ(phaseAt(positionAt(1837, step, 0.0), periodLength(6)), 0.249931961f);
}

TEST(Sweep, NegativeAndUnrepresentablePositions) {
    const struct {
        float position, period, phase;
    } cases[] = {
        {-0.25f, 1.0f, 0.75f},  {-1.0f, 1.0f, 0.0f},     {-3.5f, 2.0f, 0.25f}, {-0.0f, 1.0f, 0.0f},
        {INFINITY, 1.0f, 0.0f}, {-INFINITY, 1.0f, 0.0f}, {NAN, 1.0f, 0.0f},
    };
    for (const auto& c : cases) EXPECT_EQ(phaseAt(c.position, c.period), c.phase) << c.position;
    for (float position = -7.0f; position < 0.0f; position += 0.01f) {
        const float h = phaseAt(position, periodLength(6));
        ASSERT_GE(h, 0.0f) << position;
        ASSERT_LE(h, 1.0f) << position;
    }
}

TEST(Biquad, CoefficientsAtThePeriodStartAndMiddle) {
    const struct {
        float omega;
        float w, a0, a1, a2, b0, b1;
    } points[] = {
        {125663.71f, 2.8495173f, 1.10181761f, 1.91529679f, 0.898182392f, 0.978824198f, 1.9576484f},
        {3141.59277f, 0.0712379292f, 1.0251689f, -1.99492729f, 0.974831104f, 0.00126817822f, 0.00253635645f},
    };
    for (const auto& p : points) {
        const float w = angleAt(p.omega, 44100.0f);
        EXPECT_EQ(w, p.w);
        const LowpassCoefficients c = lowpassCoefficients(w, 1.414f);
        EXPECT_LE(ulpDistance(c.a0, p.a0), kFewUlps);
        EXPECT_LE(ulpDistance(c.a1, p.a1), kFewUlps);
        EXPECT_LE(ulpDistance(c.a2, p.a2), kFewUlps);
        EXPECT_LE(ulpDistance(c.b0, p.b0), kFewUlps);
        EXPECT_LE(ulpDistance(c.b1, p.b1), kFewUlps);
        EXPECT_EQ(c.b2, c.b0);
    }
}

TEST(Biquad, LowPassHasUnityGainAtDc) {
    for (float hz : {20.0f, 500.0f, 5000.0f, 20000.0f}) {
        BiquadState s = passThrough;
        const BiquadQuotients k = quotients(lowpassCoefficients(angleAt(hz * kTwoPi, 48000.0f), 0.7071f));
        float y = 0.0f;
        for (int i = 0; i < 200000; ++i) y = biquadStep(s, k, 1.0f);
        // Single-precision quotients shift the gain of very low cut-offs a little.
        EXPECT_NEAR(y, 1.0f, 1e-2f) << hz;
    }
}

TEST(Angle, LimitedOnlyWhereTheFilterWouldBeUnstable) {
    // Every cut-off up to 20 kHz at 44.1 kHz and above is untouched.
    for (float rate : {44100.0f, 48000.0f, 96000.0f, 192000.0f}) {
        for (float hz = 0.5f; hz <= 20000.0f; hz *= 1.01f) {
            const float omega = hz * kTwoPi;
            ASSERT_EQ(angleAt(omega, rate), omega / rate) << rate << " " << hz;
        }
    }
    // Above half the sample rate and at or below zero it is held inside (0, pi).
    for (const float omega : {20000.0f * kTwoPi, 1.0e9f, 0.0f, -5000.0f}) {
        const float w = angleAt(omega, 22050.0f);
        EXPECT_GT(w, 0.0f);
        EXPECT_LT(w, 3.1415927f * 0.96f);
    }
}

}  // namespace
