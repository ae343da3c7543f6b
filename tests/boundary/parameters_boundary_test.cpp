// Parameters, their texts and the identity texts as a host meets them:
// through the record's entries and opcodes only, and the sound following them.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "frame/opcodes.h"
#include "support/plugin_instance.h"
#include "support/plugin_library.h"
#include "support/recording_host.h"
#include "support/text_buffer.h"

namespace {

constexpr std::int32_t kParameterBound = 8;
constexpr std::int32_t kIdentityBound = 24;
enum Index : std::int32_t { kPeriod, kFreq1, kFreq2, kQ, kMix };

struct Texts {
    std::intptr_t answer;
    PatternBuffer buffer;
};

Texts ask(AEffect* e, std::int32_t opcode, std::int32_t index = 0) {
    Texts t;
    t.answer = dispatch(e, opcode, index, 0, t.buffer.data());
    return t;
}

class ParametersAtTheRecord : public ::testing::Test {
protected:
    PluginLibrary library;
    RecordingHost host;
};

TEST_F(ParametersAtTheRecord, NamesAndLabels) {
    PluginInstance fx(library, host);
    const std::array<const char*, 5> names{"Period", "Freq 1", "Freq 2", "Q", "Mix"};
    const std::array<const char*, 5> labels{"", "Hz", "Hz", "", "%"};
    for (std::int32_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        const Texts name = ask(fx.effect, effGetParamName, i);
        const Texts label = ask(fx.effect, effGetParamLabel, i);
        EXPECT_EQ(name.answer, 0);
        EXPECT_EQ(label.answer, 0);
        EXPECT_TRUE(holdsBounded(name.buffer, names[static_cast<std::size_t>(i)], kParameterBound));
        EXPECT_TRUE(holdsBounded(label.buffer, labels[static_cast<std::size_t>(i)], kParameterBound));
    }
}

TEST_F(ParametersAtTheRecord, HostValuesAndDisplays) {
    struct Case {
        const char* what;
        float x;  // written to all five; negative: the defaults
        std::array<float, 5> readBack;
        std::array<const char*, 5> display;
    };
    const Case cases[] = {
        {"defaults",
         -1.0f,
         {0.54545456f, 0.024024025f, 1.0f, 0.091000006f, 1.0f},
         {"1/12", "500", "20000", "1.414000", "100"}},
        {"0.0", 0.0f, {0.0f, 0.0f, 0.0f, 0.0f, 0.0f}, {"1/1", "20", "20", "0.140000", "0"}},
        {"0.25", 0.25f, {0.18181819f, 0.25f, 0.25f, 0.25f, 0.25f}, {"1/3", "5015", "5015", "3.640000", "25"}},
        {"0.5", 0.5f, {0.45454547f, 0.5f, 0.5f, 0.5f, 0.5f}, {"1/8", "10010", "10010", "7.139999", "50"}},
        {"0.75", 0.75f, {0.72727275f, 0.75f, 0.75f, 0.75f, 0.75f}, {"1/24", "15005", "15005", "10.64000", "75"}},
        {"1.0", 1.0f, {1.0f, 1.0f, 1.0f, 1.0f, 1.0f}, {"1/64", "20000", "20000", "14.14000", "100"}},
        {"below 1.0",
         0.99999994f,
         {0.90909094f, 0.99999988f, 0.99999988f, 0.99999994f, 0.99999994f},
         {"1/48", "19999", "19999", "14.13999", "99"}},
        {"0.53", 0.53f, {0.45454547f, 0.53f, 0.53f, 0.53f, 0.53f}, {"1/8", "10609", "10609", "7.559999", "52"}},
        {"0.59", 0.59f, {0.54545456f, 0.59f, 0.59f, 0.59f, 0.59f}, {"1/12", "11808", "11808", "8.399999", "58"}},
        {"above 1.0", 1.5f, {1.0f, 1.0f, 1.0f, 1.0f, 1.0f}, {"1/64", "20000", "20000", "14.14000", "100"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PluginInstance fx(library, host);
        if (c.x >= 0.0f)
            for (std::int32_t i = 0; i < 5; ++i) fx.effect->setParameter(fx.effect, i, c.x);
        for (std::int32_t i = 0; i < 5; ++i) {
            SCOPED_TRACE(i);
            const std::size_t at = static_cast<std::size_t>(i);
            EXPECT_EQ(fx.effect->getParameter(fx.effect, i), c.readBack[at]);
            const Texts display = ask(fx.effect, effGetParamDisplay, i);
            EXPECT_EQ(display.answer, 0);
            EXPECT_TRUE(holdsBounded(display.buffer, c.display[at], kParameterBound));
        }
    }
}

TEST_F(ParametersAtTheRecord, IndicesOutsideTheTable) {
    PluginInstance fx(library, host);
    for (std::int32_t index : {5, -1}) {
        SCOPED_TRACE(index);
        fx.effect->setParameter(fx.effect, index, 0.0f);
        EXPECT_EQ(fx.effect->getParameter(fx.effect, index), 0.0f);
        EXPECT_TRUE(untouched(ask(fx.effect, effGetParamName, index).buffer));
        EXPECT_TRUE(untouched(ask(fx.effect, effGetParamDisplay, index).buffer));
        EXPECT_TRUE(holdsBounded(ask(fx.effect, effGetParamLabel, index).buffer, "%", kParameterBound));
    }
    const std::array<const char*, 5> defaults{"1/12", "500", "20000", "1.414000", "100"};
    for (std::int32_t i = 0; i < 5; ++i)
        EXPECT_TRUE(holdsBounded(ask(fx.effect, effGetParamDisplay, i).buffer, defaults[static_cast<std::size_t>(i)],
                                 kParameterBound));
}

TEST_F(ParametersAtTheRecord, IdentityTexts) {
    struct Case {
        std::int32_t opcode;
        const char* text;
    };
    const Case cases[] = {
        {effGetEffectName, "Dravelkint"}, {effGetVendorString, "Sorpenwalde"}, {effGetProductString, "Dravelkint"}};
    PluginInstance fx(library, host);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.opcode);
        const Texts t = ask(fx.effect, c.opcode);
        EXPECT_EQ(t.answer, 1);
        EXPECT_TRUE(holdsBounded(t.buffer, c.text, kIdentityBound));
    }
}

// ---- The sound follows the parameters ----

constexpr std::size_t kFrames = 1024;

// One block at the given position (quarter notes, 120 BPM, 44.1 kHz).
StereoBuffer processAt(PluginInstance& fx, RecordingHost& host, StereoBuffer& input, double ppqPos) {
    host.setTransport(ppqPos, 120.0, kVstPpqPosValid | kVstTempoValid);
    return fx.process(input);
}

// Energy of the first difference: large when the output keeps its highs.
double highFrequencyEnergy(const std::vector<float>& x) {
    double e = 0.0;
    for (std::size_t i = 1; i < x.size(); ++i) {
        const double d = static_cast<double>(x[i]) - static_cast<double>(x[i - 1]);
        e += d * d;
    }
    return e;
}

void setAll(PluginInstance& fx, const std::array<float, 5>& x) {
    for (std::int32_t i = 0; i < 5; ++i) fx.setParameter(i, x[static_cast<std::size_t>(i)]);
}

TEST_F(ParametersAtTheRecord, EqualFrequenciesHoldTheCutOffWhereverThePeriodStands) {
    StereoBuffer in = noise(kFrames, 1);
    // Period 1/1 is four quarter notes: 0 is its start, 2 its middle.
    auto outputAt = [&](double ppq, float freq1, float freq2) {
        PluginInstance fx(library, host);
        setAll(fx, {0.0f, freq1, freq2, 0.3f, 1.0f});
        return processAt(fx, host, in, ppq);
    };
    const StereoBuffer start = outputAt(0.0, 0.1f, 0.1f);
    const StereoBuffer middle = outputAt(2.0, 0.1f, 0.1f);
    EXPECT_TRUE(sameBits(start.left, middle.left));
    EXPECT_TRUE(sameBits(start.right, middle.right));
    // The position matters as soon as the two frequencies differ.
    EXPECT_FALSE(sameBits(outputAt(0.0, 0.1f, 0.2f).left, outputAt(2.0, 0.1f, 0.2f).left));
}

TEST_F(ParametersAtTheRecord, SweepRunsFromFreq2AtThePeriodStartToFreq1AtItsMiddle) {
    StereoBuffer in = noise(kFrames, 2);
    auto highsAt = [&](double ppq, float freq1, float freq2) {
        PluginInstance fx(library, host);
        setAll(fx, {0.0f, freq1, freq2, 0.05f, 1.0f});
        return highFrequencyEnergy(processAt(fx, host, in, ppq).left);
    };
    // Freq 1 above Freq 2: the cut-off rises towards mid-period.
    EXPECT_GT(highsAt(2.0, 1.0f, 0.0f), 10.0 * highsAt(0.0, 1.0f, 0.0f));
    // And falls with the usual order.
    EXPECT_GT(highsAt(0.0, 0.0f, 1.0f), 10.0 * highsAt(2.0, 0.0f, 1.0f));
}

TEST_F(ParametersAtTheRecord, MixZeroPassesTheInputWhileTheFiltersKeepRunning) {
    StereoBuffer first = noise(kFrames, 3);
    StereoBuffer second = noise(kFrames, 4);
    const double secondAt = static_cast<double>(kFrames) / 22050.0;

    PluginInstance switched(library, host);
    switched.setParameter(kMix, 0.0f);
    const StereoBuffer dry = processAt(switched, host, first, 0.0);
    EXPECT_TRUE(sameBits(dry.left, first.left));
    EXPECT_TRUE(sameBits(dry.right, first.right));
    switched.setParameter(kMix, 1.0f);
    const StereoBuffer afterSwitch = processAt(switched, host, second, secondAt);

    PluginInstance wetThroughout(library, host);
    processAt(wetThroughout, host, first, 0.0);
    const StereoBuffer wet = processAt(wetThroughout, host, second, secondAt);
    EXPECT_TRUE(sameBits(afterSwitch.left, wet.left));
    EXPECT_TRUE(sameBits(afterSwitch.right, wet.right));

    // Control: filters that had not run through the first block sound different.
    PluginInstance fresh(library, host);
    EXPECT_FALSE(sameBits(processAt(fresh, host, second, secondAt).left, wet.left));
}

TEST_F(ParametersAtTheRecord, ParametersWrittenBetweenBlocksTakeEffectInTheNextBlock) {
    StereoBuffer silence(kFrames);  // leaves the filter histories at zero whatever the parameters
    StereoBuffer signal = noise(kFrames, 5);
    const double secondAt = static_cast<double>(kFrames) / 22050.0;
    const std::array<float, 5> changed{0.3f, 0.2f, 0.7f, 0.6f, 0.5f};

    PluginInstance late(library, host);
    processAt(late, host, silence, 0.0);
    setAll(late, changed);
    const StereoBuffer lateOut = processAt(late, host, signal, secondAt);

    PluginInstance early(library, host);
    setAll(early, changed);
    processAt(early, host, silence, 0.0);
    const StereoBuffer earlyOut = processAt(early, host, signal, secondAt);
    EXPECT_TRUE(sameBits(lateOut.left, earlyOut.left));
    EXPECT_TRUE(sameBits(lateOut.right, earlyOut.right));

    PluginInstance unchanged(library, host);
    processAt(unchanged, host, silence, 0.0);
    EXPECT_FALSE(sameBits(processAt(unchanged, host, signal, secondAt).left, lateOut.left));

    // Mix alone, after a block of sound: the very next block is dry.
    PluginInstance fx(library, host);
    processAt(fx, host, signal, 0.0);
    fx.setParameter(kMix, 0.0f);
    StereoBuffer next = noise(kFrames, 6);
    const StereoBuffer out = processAt(fx, host, next, secondAt);
    EXPECT_TRUE(sameBits(out.left, next.left));
    EXPECT_TRUE(sameBits(out.right, next.right));
}

}  // namespace
