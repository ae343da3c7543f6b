// The five parameters on the effect object: mappings, read-back values,
// names, labels and display texts, each text checked byte by byte.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "effect/tolvane_vst.h"
#include "support/text_buffer.h"

namespace {

constexpr std::int32_t kBound = 8;
constexpr float kInf = std::numeric_limits<float>::infinity();
enum Index : std::int32_t { kPeriod, kFreq1, kFreq2, kQ, kMix };

::testing::AssertionResult holds(const PatternBuffer& b, const std::string& text) {
    return holdsBounded(b, text, kBound);
}

enum class Text { name, label, display };

PatternBuffer textOf(TolvaneVST& effect, Text which, std::int32_t index) {
    PatternBuffer b;
    switch (which) {
        case Text::name: effect.getParameterName(index, b.data()); break;
        case Text::label: effect.getParameterLabel(index, b.data()); break;
        case Text::display: effect.getParameterDisplay(index, b.data()); break;
    }
    return b;
}

TEST(Parameters, NamesAndLabels) {
    struct Case {
        std::int32_t index;
        const char* name;
        const char* label;
    };
    // The frequencies are shown in whole hertz, so "Hz" is their unit.
    const Case cases[] = {
        {kPeriod, "Period", ""}, {kFreq1, "Freq 1", "Hz"}, {kFreq2, "Freq 2", "Hz"}, {kQ, "Q", ""}, {kMix, "Mix", "%"},
    };
    TolvaneVST effect(nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        EXPECT_TRUE(holds(textOf(effect, Text::name, c.index), c.name));
        EXPECT_TRUE(holds(textOf(effect, Text::label, c.index), c.label));
    }
}

TEST(Parameters, DefaultsAsHostValuesAndTexts) {
    struct Case {
        std::int32_t index;
        float hostValue;
        const char* display;
    };
    const Case cases[] = {
        {kPeriod, 0.54545456f, "1/12"}, {kFreq1, 0.024024025f, "500"}, {kFreq2, 1.0f, "20000"},
        {kQ, 0.091000006f, "1.414000"}, {kMix, 1.0f, "100"},
    };
    TolvaneVST effect(nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        EXPECT_EQ(effect.getParameter(c.index), c.hostValue);
        EXPECT_TRUE(holds(textOf(effect, Text::display, c.index), c.display));
    }
}

TEST(Parameters, DisplayTextsAcrossTheRange) {
    struct Case {
        float x;
        std::array<const char*, 5> display;  // Period, Freq 1, Freq 2, Q, Mix
    };
    const Case cases[] = {
        {0.0f, {"1/1", "20", "20", "0.140000", "0"}},
        {0.25f, {"1/3", "5015", "5015", "3.640000", "25"}},
        {0.5f, {"1/8", "10010", "10010", "7.139999", "50"}},
        {0.75f, {"1/24", "15005", "15005", "10.64000", "75"}},
        {1.0f, {"1/64", "20000", "20000", "14.14000", "100"}},
        // Truncated, not rounded: the largest value below 1.0 stays in 1/48,
        // and a percentage whose product falls just below a whole number shows one less.
        {0.99999994f, {"1/48", "19999", "19999", "14.13999", "99"}},
        {0.53f, {"1/8", "10609", "10609", "7.559999", "52"}},
        {0.59f, {"1/12", "11808", "11808", "8.399999", "58"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x);
        TolvaneVST effect(nullptr);
        for (std::int32_t i = 0; i < 5; ++i) effect.setParameter(i, c.x);
        for (std::int32_t i = 0; i < 5; ++i) EXPECT_TRUE(holds(textOf(effect, Text::display, i), c.display[i])) << i;
    }
}

TEST(Parameters, HostValuesReadBackAfterTheMapping) {
    struct Case {
        std::int32_t index;
        float x;
        float readBack;
    };
    const Case cases[] = {
        {kPeriod, 0.5f, 0.45454547f}, {kPeriod, 1.0f, 1.0f}, {kPeriod, 0.0f, 0.0f}, {kFreq1, 0.0f, 0.0f},
        {kFreq1, 1.0f, 1.0f},         {kFreq2, 0.5f, 0.5f},  {kQ, 0.0f, 0.0f},      {kQ, 1.0f, 1.0f},
        {kMix, 0.53f, 0.53f},         {kMix, 0.0f, 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.index << " at " << c.x);
        TolvaneVST effect(nullptr);
        effect.setParameter(c.index, c.x);
        EXPECT_EQ(effect.getParameter(c.index), c.readBack);
    }
}

TEST(Parameters, EveryPeriodValueReadBackChoosesTheSameIndexAgain) {
    static const char* const kShown[12] = {"1/1",  "1/2",  "1/3",  "1/4",  "1/6",  "1/8",
                                           "1/12", "1/16", "1/24", "1/32", "1/48", "1/64"};
    TolvaneVST effect(nullptr);
    for (std::int32_t k = 0; k < 12; ++k) {
        SCOPED_TRACE(k);
        const float answer = static_cast<float>(k) / 11.0f;
        effect.setParameter(kPeriod, answer);
        ASSERT_EQ(effect.getParameter(kPeriod), answer);
        ASSERT_TRUE(holds(textOf(effect, Text::display, kPeriod), kShown[k]));
        effect.setParameter(kPeriod, effect.getParameter(kPeriod));
        EXPECT_EQ(effect.getParameter(kPeriod), answer);
        EXPECT_TRUE(holds(textOf(effect, Text::display, kPeriod), kShown[k]));
    }
}

TEST(Parameters, FrequenciesAreIndependent) {
    TolvaneVST effect(nullptr);
    effect.setParameter(kFreq1, 1.0f);
    effect.setParameter(kFreq2, 0.0f);
    EXPECT_TRUE(holds(textOf(effect, Text::display, kFreq1), "20000"));
    EXPECT_TRUE(holds(textOf(effect, Text::display, kFreq2), "20"));
    EXPECT_EQ(effect.getParameter(kFreq1), 1.0f);
    EXPECT_EQ(effect.getParameter(kFreq2), 0.0f);
}

// Host values outside [0, 1] are held to the nearest end for every parameter,
// so the Period never leaves its table; NaN leaves the working value alone.
TEST(Parameters, OutOfRangeHostValuesAreClampedAndNaNIsIgnored) {
    struct Case {
        float x;
        float asIfGiven;
    };
    const Case cases[] = {
        {-0.5f, 0.0f},   {-kInf, 0.0f}, {-std::numeric_limits<float>::max(), 0.0f},
        {1.5f, 1.0f},    {kInf, 1.0f},  {std::numeric_limits<float>::max(), 1.0f},
        {1.0001f, 1.0f}, {-0.0f, 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x);
        TolvaneVST clamped(nullptr);
        TolvaneVST reference(nullptr);
        for (std::int32_t i = 0; i < 5; ++i) {
            clamped.setParameter(i, c.x);
            reference.setParameter(i, c.asIfGiven);
        }
        for (std::int32_t i = 0; i < 5; ++i) {
            const float got = clamped.getParameter(i);
            EXPECT_EQ(got, reference.getParameter(i)) << i;
            EXPECT_FALSE(std::signbit(got)) << i;
            EXPECT_EQ(std::string(textOf(clamped, Text::display, i).data()),
                      std::string(textOf(reference, Text::display, i).data()))
                << i;
        }
    }
    TolvaneVST effect(nullptr);
    for (std::int32_t i = 0; i < 5; ++i) effect.setParameter(i, 0.25f);
    for (std::int32_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        const float before = effect.getParameter(i);
        effect.setParameter(i, std::numeric_limits<float>::quiet_NaN());
        effect.setParameter(i, -std::numeric_limits<float>::quiet_NaN());
        EXPECT_EQ(effect.getParameter(i), before);
    }
    EXPECT_TRUE(holds(textOf(effect, Text::display, kPeriod), "1/3"));
}

// Renders a few blocks of a fixed signal; without a host the sweep starts at
// position 0 in every block.
std::vector<float> render(TolvaneVST& effect) {
    constexpr std::int32_t kFrames = 512;
    std::vector<float> in(kFrames), out(2 * kFrames);
    std::uint32_t s = 12345u;
    for (float& v : in) {
        s = s * 1664525u + 1013904223u;
        v = static_cast<float>(static_cast<std::int32_t>(s)) / 2147483648.0f;
    }
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {out.data(), out.data() + kFrames};
    for (int block = 0; block < 3; ++block) effect.processReplacing(inputs, outputs, kFrames);
    return out;
}

TEST(Parameters, IndicesOutsideTheTableChangeAndWriteNothingButTheLabel) {
    TolvaneVST probed(nullptr);
    TolvaneVST reference(nullptr);
    for (std::int32_t index : {5, -1, 6, 1000, std::numeric_limits<std::int32_t>::min()}) {
        SCOPED_TRACE(index);
        EXPECT_TRUE(untouched(textOf(probed, Text::name, index)));
        EXPECT_TRUE(untouched(textOf(probed, Text::display, index)));
        EXPECT_TRUE(holds(textOf(probed, Text::label, index), "%"));
        probed.setParameter(index, 0.0f);
        probed.setParameter(index, 1.0f);
        EXPECT_EQ(probed.getParameter(index), 0.0f);
    }
    for (std::int32_t i = 0; i < 5; ++i) EXPECT_EQ(probed.getParameter(i), reference.getParameter(i)) << i;
    const std::vector<float> a = render(probed);
    const std::vector<float> b = render(reference);
    EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(float)), 0);
}

}  // namespace
