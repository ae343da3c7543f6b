// The processor against the literal model, bit for bit: the guard that every
// speed-up must keep. The plug-in class with its parameter mapping, then the
// wobble's scalar and vector steps over every block size from 1 to 40 and
// over positions that are negative, huge and jumping.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "effect/subnormal_flush.h"
#include "effect/tolvane_vst.h"
#include "support/plugin_instance.h"
#include "support/reference_wobble.h"
#include "support/wobble_setting.h"

namespace {

TEST(ProcessorReference, RandomSettingsBitForBit) {
    RecordingHost host;
    std::mt19937 random(20261207);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    const float rates[] = {44100.0f, 48000.0f, 88200.0f, 96000.0f, 192000.0f};
    for (int round = 0; round < 40; ++round) {
        std::unique_ptr<TolvaneVST> fx(new (std::nothrow) TolvaneVST(RecordingHost::callback));
        ReferenceWobble model;
        const float rate = rates[round % 5];
        fx->dispatcher(effSetSampleRate, 0, 0, nullptr, rate);
        model.sampleRate = rate;
        float x[5];
        for (float& v : x) v = unit(random);
        if (round % 7 == 0) x[round % 5] = 1.0f;
        if (round % 11 == 0) x[(round + 2) % 5] = 0.0f;
        for (std::int32_t i = 0; i < 5; ++i) fx->setParameter(i, x[i]);
        WobbleSetting::fromHost(rate, x).applyTo(model);

        const double tempo = 40.0 + 200.0 * unit(random);
        double ppq = 64.0 * unit(random);
        const double step = quarterNotesPerSample(rate, tempo);
        for (std::uint32_t block = 0; block < 4; ++block) {
            const auto frames = static_cast<std::int32_t>(1 + random() % 1500);
            StereoBuffer in = noise(static_cast<std::size_t>(frames), block + 100 * round), out(in.frames()),
                         expected(in.frames());
            host.setTransport(ppq, tempo, kVstPpqPosValid | kVstTempoValid);
            fx->processReplacing(in.data(), out.data(), frames);
            model.process(in.data(), expected.data(), frames, ppq, tempo);
            ASSERT_TRUE(sameBits(out.left, expected.left) && sameBits(out.right, expected.right))
                << "round " << round << " block " << block;
            ppq += frames * step;
        }
    }
}

class EachSteps : public ::testing::TestWithParam<SweepSteps> {
protected:
    // The pair for `setting`, or null (and the test skipped) where these steps cannot run.
    std::unique_ptr<WobbleAndModel> pair(const WobbleSetting& setting) {
        auto p = std::make_unique<WobbleAndModel>(setting, GetParam());
        return p->usable ? std::move(p) : nullptr;
    }
};

const WobbleSetting kSettings[] = {
    {44100.0f, 6, 500.0f, 20000.0f, 1.414f, 1.0f}, {48000.0f, 11, 20.0f, 20000.0f, 14.14f, 0.5f},
    {96000.0f, 0, 20000.0f, 20.0f, 0.14f, 0.75f},  {192000.0f, 5, 6014.0f, 6014.0f, 7.14f, 0.53f},
    {44100.0f, 8, 2018.0f, 17982.0f, 3.64f, 1.0f}, {22050.0f, 9, 300.0f, 20000.0f, 2.0f, 1.0f},
};

TEST_P(EachSteps, EveryBlockSizeFrom1To40AndSomeLarge) {
    std::vector<std::int32_t> sizes;
    for (std::int32_t size = 1; size <= 40; ++size) sizes.push_back(size);
    for (std::int32_t size : {127, 1000, 4096}) sizes.push_back(size);
    for (std::size_t s = 0; s < sizes.size(); ++s) {
        const WobbleSetting& setting = kSettings[s % std::size(kSettings)];
        auto p = pair(setting);
        if (!p) GTEST_SKIP() << "these steps do not run on this machine";
        const double tempo = 97.0 + static_cast<double>(s);
        const double step = quarterNotesPerSample(setting.rate, tempo);
        double ppq = 0.37 * static_cast<double>(s);
        for (std::uint32_t block = 0; block < 3; ++block) {
            StereoBuffer in = noise(static_cast<std::size_t>(sizes[s]), block + 7 * static_cast<std::uint32_t>(s));
            StereoBuffer out(in.frames()), expected(in.frames());
            ASSERT_TRUE(p->processBoth(in, out, expected, ppq, tempo)) << "size " << sizes[s] << " block " << block;
            ppq += sizes[s] * step;
        }
    }
}

// A host may hand channel 0's output buffer in as channel 1's input: each
// sample of channel 1 then reads what channel 0 has just written there.
TEST_P(EachSteps, ChannelZerosOutputIsChannelOnesInput) {
    auto p = pair(kSettings[4]);
    if (!p) GTEST_SKIP() << "these steps do not run on this machine";
    for (std::uint32_t block = 0; block < 3; ++block) {
        StereoBuffer a = noise(300, block), b = a;
        std::vector<float> outA(300), outB(300);
        const float* inputsA[2] = {a.left.data(), a.right.data()};
        float* outputsA[2] = {a.right.data(), outA.data()};
        p->wobble.process(inputsA, outputsA, 300, p->rate, [&] { return SongPosition{block * 0.1, 128.0}; });
        const float* inputsB[2] = {b.left.data(), b.right.data()};
        float* outputsB[2] = {b.right.data(), outB.data()};
        {
            const SubnormalFlush flush;
            p->model.process(inputsB, outputsB, 300, block * 0.1, 128.0);
        }
        ASSERT_TRUE(sameBits(a.right, b.right) && sameBits(outA, outB)) << "block " << block;
    }
}

// The vector steps give the scalar bits at every position; both give the
// model's as long as its filtered signal stays within the runaway guard's
// bound (a jump of the sweep can kick a sharply resonant filter past it).
TEST(Steps, PositionsNegativeHugeAndJumping) {
    const double inf = std::numeric_limits<double>::infinity();
    const double positions[] = {-0.3,   -1000.7, -5.0e6,  -16777217.0, 16777216.5, 1.0e7,  1099511627776.0,
                                1.0e12, 3.0e38,  1.0e300, -1.0e300,    inf,        -1e-40, 1e-42};
    int comparedWithModel = 0;
    for (std::size_t s = 0; s < std::size(kSettings); ++s) {
        WobbleAndModel pair(kSettings[s], SweepSteps::scalar);
        Wobble vector;
        kSettings[s].applyTo(vector);
        const bool withVector = vector.useSteps(SweepSteps::avx2);
        std::mt19937 random(static_cast<std::uint32_t>(s));
        float inputPeak = 0.0f;
        for (std::uint32_t block = 0; block < 60; ++block) {
            // A fixed position, or a jump to anywhere within a million quarter notes either side.
            const double ppq = block < std::size(positions) ? positions[block]
                                                            : std::ldexp(static_cast<double>(random()), -11) - 1.0e6;
            const auto frames = static_cast<std::size_t>(1 + random() % 200);
            StereoBuffer in = noise(frames, block), out(frames), expected(frames), fromVector(frames);
            for (std::size_t i = 0; i < frames; ++i)
                inputPeak = std::max({inputPeak, std::fabs(in.left[i]), std::fabs(in.right[i])});
            const bool sameAsModel = pair.processBoth(in, out, expected, ppq, 133.0);
            const auto where = ::testing::Message() << "setting " << s << " at " << ppq;
            if (pair.model.filteredPeak < kRunawayGain * inputPeak) {
                ASSERT_TRUE(sameAsModel) << where;
                ++comparedWithModel;
            }
            if (withVector) {
                vector.process(in.data(), fromVector.data(), static_cast<std::int32_t>(frames), pair.rate, [&] {
                    return SongPosition{ppq, 133.0};
                });
                ASSERT_TRUE(sameBits(fromVector.left, out.left) && sameBits(fromVector.right, out.right)) << where;
            }
        }
    }
    EXPECT_GT(comparedWithModel, 200);
}

INSTANTIATE_TEST_SUITE_P(Steps, EachSteps, ::testing::Values(SweepSteps::scalar, SweepSteps::avx2),
                         [](const ::testing::TestParamInfo<SweepSteps>& info) {
                             return info.param == SweepSteps::scalar ? "scalar" : "avx2";
                         });

}  // namespace
