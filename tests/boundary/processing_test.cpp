// The wobble as a workstation hears it: driven through the record with a
// transport from the test host.
#include <gtest/gtest.h>

#include <cmath>

#include "effect/musical_time.h"
#include "host/allocation/allocation_counter.h"
#include "support/plugin_instance.h"
#include "support/reference_wobble.h"
#include "support/ulp.h"

namespace {

constexpr std::int32_t kBothValid = kVstPpqPosValid | kVstTempoValid;

bool sameOutput(StereoBuffer& a, StereoBuffer& b) { return sameBits(a.left, b.left) && sameBits(a.right, b.right); }

TEST(TimeQuery, OncePerCallWithTheMaskAndNothingElseForEmptyBlocks) {
    PluginLibrary lib;
    RecordingHost host;
    PluginInstance fx(lib, host);
    for (std::int32_t frames : {-5, 0, 1, 64}) {
        host.calls.clear();
        StereoBuffer in = noise(static_cast<std::size_t>(std::max(frames, 0)), 3);
        StereoBuffer out(in.frames());
        // Empty blocks get no channel arrays at all: reading one would crash.
        fx.effect->processReplacing(fx.effect, frames > 0 ? in.data() : nullptr, frames > 0 ? out.data() : nullptr,
                                    frames);
        ASSERT_EQ(host.calls.size(), 1u) << frames;
        const HostCall& call = host.calls[0];
        EXPECT_EQ(call.effect, fx.effect);
        EXPECT_EQ(call.opcode, audioMasterGetTime);
        EXPECT_EQ(call.index, 0);
        EXPECT_EQ(call.value, 1536);
        EXPECT_EQ(call.ptr, nullptr);
        EXPECT_EQ(call.opt, 0.0f);
    }
}

TEST(TimeQuery, EmptyBlocksLeaveTheFiltersAsTheyWere) {
    PluginLibrary lib;
    RecordingHost host;
    StereoBuffer in = noise(256, 4);
    PluginInstance touched(lib, host), fresh(lib, host);
    touched.effect->processReplacing(touched.effect, nullptr, nullptr, 0);
    touched.effect->processReplacing(touched.effect, nullptr, nullptr, -1);
    StereoBuffer a = touched.process(in), b = fresh.process(in);
    EXPECT_TRUE(sameOutput(a, b));
}

TEST(Processor, ImpulseResponseOfAFreshInstance) {
    PluginLibrary lib;
    RecordingHost host;
    host.setTransport(0.0, 120.0, kBothValid);
    PluginInstance fx(lib, host);
    StereoBuffer in = impulse(5, 1.0f, 0.5f);
    StereoBuffer out = fx.process(in);
    const float expected[5] = {0.888372242f, 0.232703447f, -0.23918733f, 0.225459591f, -0.196222901f};
    for (int i = 0; i < 5; ++i) {
        EXPECT_LE(ulpDistance(out.left[i], expected[i]), kFewUlps) << i << ": " << out.left[i];
        EXPECT_EQ(out.right[i], out.left[i] * 0.5f) << i;
    }
}

TEST(Processor, MixBlendsDryAndFiltered) {
    PluginLibrary lib;
    RecordingHost host;
    PluginInstance fx(lib, host);
    fx.setParameter(4, 0.25f);
    StereoBuffer in = impulse(1, 1.0f, 1.0f);
    EXPECT_LE(ulpDistance(fx.process(in).left[0], 0.972093046f), kFewUlps);
}

TEST(Processor, InPlaceGivesTheSameBitsAsSeparateBuffers) {
    PluginLibrary lib;
    RecordingHost host;
    host.setTransport(2.5, 133.0, kBothValid);
    PluginInstance separate(lib, host), inPlace(lib, host);
    StereoBuffer in = noise(1000, 5);
    StereoBuffer expected = separate.process(in);
    inPlace.effect->processReplacing(inPlace.effect, in.data(), in.data(), 1000);
    EXPECT_TRUE(sameOutput(in, expected));
}

TEST(Processor, SplittingABlockWithTheTransportAdvancedGivesTheSameBits) {
    PluginLibrary lib;
    RecordingHost host;
    const double start = 7.25, bpm = 140.0;
    const double step = quarterNotesPerSample(44100.0f, bpm);
    StereoBuffer in = noise(4096, 6);
    host.setTransport(start, bpm, kBothValid);
    PluginInstance whole(lib, host), split(lib, host);
    StereoBuffer expected = whole.process(in);

    StereoBuffer out(in.frames());
    float* inputs[2];
    float* outputs[2];
    std::size_t done = 0;
    for (std::size_t size : {1u, 37u, 512u, 1000u, 2546u}) {
        host.time.ppqPos = start + static_cast<double>(done) * step;
        inputs[0] = in.left.data() + done;
        inputs[1] = in.right.data() + done;
        outputs[0] = out.left.data() + done;
        outputs[1] = out.right.data() + done;
        split.effect->processReplacing(split.effect, inputs, outputs, static_cast<std::int32_t>(size));
        done += size;
    }
    ASSERT_EQ(done, in.frames());
    EXPECT_TRUE(sameOutput(out, expected));
}

TEST(Processor, ChannelsNeverInfluenceEachOther) {
    PluginLibrary lib;
    RecordingHost host;
    PluginInstance a(lib, host), b(lib, host), c(lib, host);
    StereoBuffer same = noise(2048, 7);
    same.right = same.left;
    StereoBuffer outSame = a.process(same);
    EXPECT_TRUE(sameBits(outSame.left, outSame.right));

    StereoBuffer otherRight = same;
    otherRight.right = noise(2048, 8).right;
    StereoBuffer outOther = b.process(otherRight);
    EXPECT_TRUE(sameBits(outOther.left, outSame.left));

    StereoBuffer silentRight = same;
    std::fill(silentRight.right.begin(), silentRight.right.end(), 0.0f);
    EXPECT_TRUE(sameBits(c.process(silentRight).left, outSame.left));
}

// The whole sweep against the literal model, over rates, tempi, positions and
// parameter settings, block after block.
struct ReferenceCase {
    float rate;
    double ppq;
    double tempo;
    float x[5];  // host values of Period, Freq 1, Freq 2, Q, Mix
};

class AgainstReference : public ::testing::TestWithParam<ReferenceCase> {};

TEST_P(AgainstReference, BitForBit) {
    const ReferenceCase& c = GetParam();
    PluginLibrary lib;
    RecordingHost host;
    PluginInstance fx(lib, host);
    fx.setSampleRate(c.rate);
    for (std::int32_t i = 0; i < 5; ++i) fx.setParameter(i, c.x[i]);

    ReferenceWobble model;
    model.sampleRate = c.rate;
    model.periodIndex = static_cast<std::int32_t>(c.x[0] * 11.0f);
    model.freq1 = c.x[1] * 19980.0f + 20.0f;
    model.freq2 = c.x[2] * 19980.0f + 20.0f;
    model.q = c.x[3] * 14.0f + 0.14f;
    model.mix = c.x[4];

    const double step = quarterNotesPerSample(c.rate, c.tempo);
    double ppq = c.ppq;
    for (std::uint32_t block = 0; block < 6; ++block) {
        StereoBuffer in = noise(777, block + 11);
        StereoBuffer expected(in.frames());
        model.process(in.data(), expected.data(), 777, ppq, c.tempo);
        host.setTransport(ppq, c.tempo, kBothValid);
        StereoBuffer out = fx.process(in);
        ASSERT_TRUE(sameOutput(out, expected)) << "block " << block;
        ppq += 777 * step;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Settings, AgainstReference,
    ::testing::Values(ReferenceCase{44100.0f, 0.0, 120.0, {6.0f / 11.0f, 0.024024025f, 1.0f, 0.091000006f, 1.0f}},
                      ReferenceCase{48000.0f, 3.7, 174.0, {1.0f, 0.0f, 1.0f, 1.0f, 0.5f}},
                      ReferenceCase{96000.0f, 1000.25, 87.5, {0.0f, 1.0f, 0.0f, 0.0f, 0.75f}},
                      ReferenceCase{192000.0f, 16.0, 60.0, {0.5f, 0.3f, 0.3f, 0.5f, 0.53f}},
                      ReferenceCase{44100.0f, 0.5, 0.0, {0.75f, 0.1f, 0.9f, 0.25f, 1.0f}},
                      ReferenceCase{44100.0f, 123456.0, 200.0, {0.99999994f, 0.0f, 1.0f, 0.2f, 1.0f}}),
    [](const ::testing::TestParamInfo<ReferenceCase>& info) { return "setting" + std::to_string(info.index); });

// What the host may answer, and what it means to the sweep.
TEST(Transport, MissingOrInvalidValuesMeanTheStartAt120) {
    PluginLibrary lib;
    RecordingHost host;
    StereoBuffer in = noise(3000, 12);
    host.setTransport(0.0, 120.0, kBothValid);
    PluginInstance reference(lib, host);
    StereoBuffer expected = reference.process(in);

    struct Answer {
        bool answered;
        double ppq, tempo;
        std::int32_t flags;
    };
    const Answer answers[] = {
        {false, 5.0, 90.0, kBothValid},  // no time record at all
        {true, 5.0, 90.0, 0},            // both values there but not flagged valid
        {true, NAN, NAN, kBothValid},    // flagged but not finite
        {true, INFINITY, -INFINITY, kBothValid},
    };
    for (const Answer& a : answers) {
        host.answerTime = a.answered;
        host.setTransport(a.ppq, a.tempo, a.flags);
        PluginInstance fx(lib, host);
        StereoBuffer out = fx.process(in);
        EXPECT_TRUE(sameOutput(out, expected)) << a.answered << " " << a.ppq << " " << a.flags;
    }
}

TEST(Transport, NegativePositionsContinueThePeriod) {
    PluginLibrary lib;
    RecordingHost host;
    StereoBuffer in = noise(1024, 13);
    // Period 1/4 lasts exactly one quarter note; at tempo 0 the position stands still.
    const double positions[][2] = {{-0.25, 0.75}, {-1.75, 0.25}, {-3.5, 0.5}};
    for (const auto& p : positions) {
        PluginInstance before(lib, host), after(lib, host);
        before.setParameter(0, 3.0f / 11.0f);
        after.setParameter(0, 3.0f / 11.0f);
        host.setTransport(p[0], 0.0, kBothValid);
        StereoBuffer a = before.process(in);
        host.setTransport(p[1], 0.0, kBothValid);
        StereoBuffer b = after.process(in);
        EXPECT_TRUE(sameOutput(a, b)) << p[0];
    }
}

TEST(SampleRate, UnusableRatesAreIgnored) {
    PluginLibrary lib;
    RecordingHost host;
    StereoBuffer in = noise(2000, 14);
    PluginInstance reference(lib, host);
    StereoBuffer expected = reference.process(in);
    for (float rate : {0.0f, -44100.0f, NAN, INFINITY}) {
        PluginInstance fx(lib, host);
        fx.setSampleRate(rate);
        StereoBuffer out = fx.process(in);
        EXPECT_TRUE(sameOutput(out, expected)) << rate;
    }
}

TEST(SampleRate, CutOffAboveNyquistStaysStable) {
    PluginLibrary lib;
    RecordingHost host;
    for (float rate : {8000.0f, 22050.0f, 32000.0f}) {
        PluginInstance fx(lib, host);
        fx.setSampleRate(rate);
        float peak = 0.0f;
        for (std::uint32_t block = 0; block < 40; ++block) {
            host.time.ppqPos = block * 0.3;
            StereoBuffer in = noise(1024, block);
            StereoBuffer out = fx.process(in);
            for (float v : out.left) peak = std::max(peak, std::fabs(v));
            for (float v : out.right) peak = std::max(peak, std::fabs(v));
        }
        EXPECT_TRUE(std::isfinite(peak)) << rate;
        EXPECT_LT(peak, 20.0f) << rate;
    }
}

TEST(Transport, AbsurdTemposHoldTheSweepInsteadOfRunningAway) {
    PluginLibrary lib;
    RecordingHost host;
    // The shortest period and the highest Q: the settings that run away first.
    for (double tempo : {3000.0, 1.0e6, 1.0e9, -1.0e9, 1.0e300}) {
        PluginInstance fx(lib, host);
        fx.setParameter(0, 1.0f);
        fx.setParameter(3, 1.0f);
        float peak = 0.0f;
        for (std::uint32_t block = 0; block < 50; ++block) {
            host.setTransport(block * 512 * tempo / 60.0 / 44100.0, tempo, kBothValid);
            StereoBuffer in = noise(512, block);
            StereoBuffer out = fx.process(in);
            for (float v : out.left) peak = std::max(peak, std::fabs(v));
        }
        EXPECT_LT(peak, 100.0f) << tempo;  // finite, and no louder than the resonance itself
    }
}

TEST(Processor, AFilterPumpedIntoARunawayIsCutOffAt40dBAboveItsInput) {
    PluginLibrary lib;
    RecordingHost host;
    // 1/64 notes at 120 BPM sweeping a Q of 14 between 60 and 20 Hz pump the
    // filter far beyond its resonance; the runaway is cut off, never followed.
    PluginInstance fx(lib, host);
    fx.setParameter(0, 1.0f);
    fx.setParameter(1, 40.0f / 19980.0f);
    fx.setParameter(2, 0.0f);
    fx.setParameter(3, 1.0f);
    ReferenceWobble unguarded;
    unguarded.periodIndex = 11;
    unguarded.freq1 = 60.0f;
    unguarded.freq2 = 20.0f;
    unguarded.q = 14.14f;
    const double step = quarterNotesPerSample(44100.0f, 120.0);
    float peak = 0.0f, inputPeak = 0.0f, unguardedPeak = 0.0f;
    for (std::uint32_t block = 0; block < 400; ++block) {
        host.setTransport(block * 512 * step, 120.0, kBothValid);
        StereoBuffer in = noise(512, block), expected(512);
        StereoBuffer out = fx.process(in);
        unguarded.process(in.data(), expected.data(), 512, block * 512 * step, 120.0);
        for (float v : out.left) peak = std::max(peak, std::fabs(v));
        for (float v : in.left) inputPeak = std::max(inputPeak, std::fabs(v));
        for (float v : expected.left) unguardedPeak = std::max(unguardedPeak, std::fabs(v));
    }
    EXPECT_LE(peak, 100.0f * inputPeak);
    EXPECT_GT(unguardedPeak, 1.0e3f);  // it does run away: the guard is needed
}

TEST(Transport, PositionsJumpingEverySampleNeverGiveNonFiniteOutput) {
    PluginLibrary lib;
    RecordingHost host;
    PluginInstance fx(lib, host);
    fx.setParameter(3, 1.0f);
    std::uint32_t state = 1;
    for (std::uint32_t block = 0; block < 20000; ++block) {
        state = state * 1664525u + 1013904223u;
        host.setTransport(state / 4.0e7, 120.0, kBothValid);
        StereoBuffer in = noise(1, block);
        StereoBuffer out = fx.process(in);
        ASSERT_TRUE(std::isfinite(out.left[0]) && std::isfinite(out.right[0])) << block;
        ASSERT_LE(std::fabs(out.left[0]), 100.0f) << block;  // 40 dB above the noise's peak
    }
}

TEST(Processor, RecoversFromNonFiniteInput) {
    PluginLibrary lib;
    RecordingHost host;
    for (float bad : {NAN, INFINITY, -INFINITY}) {
        PluginInstance fx(lib, host), clean(lib, host);
        StereoBuffer in = noise(400, 15);
        StereoBuffer ok = in;
        in.left[100] = bad;
        StereoBuffer out = fx.process(in);
        StereoBuffer expected = clean.process(ok);
        for (std::size_t i = 101; i < out.frames(); ++i) ASSERT_TRUE(std::isfinite(out.left[i])) << bad << " " << i;
        EXPECT_TRUE(sameBits(out.right, expected.right));
    }
}

TEST(Processor, AllocatesNothing) {
    if (!allocation_counter::available()) GTEST_SKIP() << "the sanitizer owns the allocator";
    PluginLibrary lib;
    RecordingHost host;
    PluginInstance fx(lib, host);
    StereoBuffer in = noise(512, 16), out(512);
    allocation_counter::start();
    for (int block = 0; block < 20; ++block) fx.effect->processReplacing(fx.effect, in.data(), out.data(), 512);
    EXPECT_EQ(allocation_counter::stop(), 0);
}

}  // namespace
