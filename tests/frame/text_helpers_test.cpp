// The value-to-text helpers, checked byte by byte: the text, the NUL padding
// up to the bound, the NUL at the bound, and nothing written beyond it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "frame/audio_effect.h"
#include "host/allocation/allocation_counter.h"
#include "support/text_buffer.h"

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// The smallest concrete effect: the helpers belong to the frame itself.
class Frame : public AudioEffect {
public:
    Frame() : AudioEffect(nullptr, 1, 0) {}
    void processReplacing(float**, float**, std::int32_t) override {}
};

struct FloatCase {
    float value;
    std::int32_t bound;
    const char* text;
};

TEST(Float2String, WritesEightTruncatedCharactersCutToTheBound) {
    const FloatCase cases[] = {
        {0.0f, 8, "0.000000"},
        {-0.0f, 8, "0.000000"},
        {0.5f, 8, "0.500000"},
        {-0.5f, 8, "-0.50000"},
        {0.7f, 8, "0.699999"},
        {1.414f, 8, "1.414000"},
        {3.14159f, 8, "3.141590"},
        {123.456f, 8, "123.4560"},
        {-0.001f, 8, "-0.00100"},
        {0.00001f, 8, "0.000009"},
        {1234567.0f, 8, "1234567."},
        {-123456.0f, 8, "-123456."},
        {9999999.0f, 8, "9999999."},
        {-999999.0f, 8, "-999999."},
        {100000000.0f, 8, "Huge!"},
        {-10000000.0f, 8, "Huge!"},
        {kInf, 8, "Huge!"},
        {-kInf, 8, "Huge!"},
        {1.5f, 4, "1.50"},
        {123.456f, 4, "123."},
        {1.5f, 12, "1.500000"},
        {1.5f, 0, ""},
        {100000000.0f, 3, "Hug"},
        // Integer parts too long to sit beside the point show whole, never
        // without their leading digits.
        {12345678.0f, 8, "12345678"},
        {10000000.0f, 8, "10000000"},
        {99999992.0f, 8, "99999992"},
        {-9999999.0f, 8, "-9999999"},
        {-1000000.0f, 8, "-1000000"},
        {-1234567.5f, 8, "-1234567"},
        {12345678.0f, 4, "1234"},
        {kNaN, 8, "NaN"},
        {-kNaN, 8, "NaN"},
        {kNaN, 2, "Na"},
    };
    Frame frame;
    for (const FloatCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "value " << c.value << " bound " << c.bound);
        PatternBuffer b;
        frame.float2string(c.value, b.data(), c.bound);
        EXPECT_TRUE(holdsBounded(b, c.text, c.bound));
    }
}

struct IntCase {
    std::int32_t value;
    std::int32_t bound;
    const char* text;
};

TEST(Int2String, WritesEveryValueInDecimalCutToTheBound) {
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    const IntCase cases[] = {
        {0, 8, "0"},
        {5, 8, "5"},
        {-5, 8, "-5"},
        {10, 8, "10"},
        {1000, 8, "1000"},
        {99999999, 8, "99999999"},
        {100000000, 8, "Huge!"},
        {kMax, 8, "Huge!"},
        {-123456789, 8, "-1234567"},
        {12345, 4, "1234"},
        {-99999999, 12, "-99999999"},
        {-1000000000, 12, "-1000000000"},
        {-1000000001, 12, "-1000000001"},
        {kMin, 12, "-2147483648"},
        {kMin, 8, "-2147483"},
        {kMin + 1, 12, "-2147483647"},
        {7, 0, ""},
    };
    Frame frame;
    for (const IntCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "value " << c.value << " bound " << c.bound);
        PatternBuffer b;
        frame.int2string(c.value, b.data(), c.bound);
        EXPECT_TRUE(holdsBounded(b, c.text, c.bound));
    }
}

enum class Helper { dB, Hz, ms };

struct DerivedCase {
    Helper helper;
    float sampleRate;
    float value;
    const char* text;
};

TEST(DerivedHelpers, WriteDecibelsHertzAndMilliseconds) {
    const DerivedCase cases[] = {
        {Helper::dB, 44100.0f, 0.0f, "-oo"},
        {Helper::dB, 44100.0f, -1.0f, "-oo"},
        {Helper::dB, 44100.0f, -0.0f, "-oo"},
        {Helper::dB, 44100.0f, 1.0f, "0.000000"},
        {Helper::dB, 44100.0f, 0.5f, "-6.02059"},
        {Helper::dB, 44100.0f, 2.0f, "6.020599"},
        {Helper::dB, 44100.0f, 0.001f, "-60.0000"},
        {Helper::dB, 44100.0f, kInf, "Huge!"},
        {Helper::dB, 44100.0f, kNaN, "NaN"},
        {Helper::Hz, 44100.0f, 100.0f, "441.0000"},
        {Helper::Hz, 44100.0f, 44100.0f, "1.000000"},
        {Helper::Hz, 44100.0f, 1.0f, "44100.00"},
        {Helper::Hz, 44100.0f, 0.0f, "0.000000"},
        {Helper::Hz, 44100.0f, -0.0f, "0.000000"},
        // Quotients that are not finite.
        {Helper::Hz, 44100.0f, std::numeric_limits<float>::denorm_min(), "Huge!"},
        {Helper::Hz, 44100.0f, -std::numeric_limits<float>::denorm_min(), "Huge!"},
        {Helper::Hz, 44100.0f, kNaN, "NaN"},
        {Helper::Hz, kInf, 100.0f, "Huge!"},
        {Helper::ms, 44100.0f, 441.0f, "10.00000"},
        {Helper::ms, 44100.0f, 44100.0f, "1000.000"},
        {Helper::ms, 44100.0f, 1.0f, "0.022675"},
        {Helper::ms, 44100.0f, 0.0f, "0.000000"},
        // A sample rate of 0: no time for no samples, too long for any other count.
        {Helper::ms, 0.0f, 441.0f, "Huge!"},
        {Helper::ms, 0.0f, -441.0f, "Huge!"},
        {Helper::ms, 0.0f, 0.0f, "0.000000"},
        {Helper::ms, 0.0f, kNaN, "NaN"},
    };
    for (const DerivedCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "helper " << static_cast<int>(c.helper) << " rate " << c.sampleRate
                                        << " value " << c.value);
        Frame frame;
        frame.setSampleRate(c.sampleRate);
        PatternBuffer b;
        switch (c.helper) {
            case Helper::dB: frame.dB2string(c.value, b.data(), 8); break;
            case Helper::Hz: frame.Hz2string(c.value, b.data(), 8); break;
            case Helper::ms: frame.ms2string(c.value, b.data(), 8); break;
        }
        EXPECT_TRUE(holdsBounded(b, c.text, 8));
    }
}

TEST(DerivedHelpers, CutTheirTextToTheBound) {
    Frame frame;
    PatternBuffer b;
    frame.dB2string(0.0f, b.data(), 2);
    EXPECT_TRUE(holdsBounded(b, "-o", 2));
    b = PatternBuffer();
    frame.Hz2string(100.0f, b.data(), 5);
    EXPECT_TRUE(holdsBounded(b, "441.0", 5));
    b = PatternBuffer();
    frame.ms2string(441.0f, b.data(), 12);
    EXPECT_TRUE(holdsBounded(b, "10.00000", 12));
}

TEST(TextHelpers, NegativeBoundWritesNothing) {
    Frame frame;
    for (std::int32_t bound : {-1, -8, std::numeric_limits<std::int32_t>::min()}) {
        SCOPED_TRACE(bound);
        PatternBuffer b;
        frame.float2string(1.5f, b.data(), bound);
        frame.float2string(1.0e9f, b.data(), bound);
        frame.float2string(kNaN, b.data(), bound);
        frame.int2string(-42, b.data(), bound);
        frame.int2string(100000000, b.data(), bound);
        frame.dB2string(0.0f, b.data(), bound);
        frame.dB2string(2.0f, b.data(), bound);
        frame.Hz2string(100.0f, b.data(), bound);
        frame.Hz2string(0.0f, b.data(), bound);
        frame.ms2string(441.0f, b.data(), bound);
        frame.ms2string(0.0f, b.data(), bound);
        EXPECT_TRUE(untouched(b));
    }
}

// An effect that replaces float2string replaces the texts of the three
// helpers built on it, and sees the number each of them computed.
class Recorder : public Frame {
public:
    void float2string(float value, char* text, std::int32_t maxLen) override {
        received = value;
        if (maxLen >= 1) {
            text[0] = '#';
            text[1] = '\0';
        }
    }
    float received = -1.0f;
};

TEST(DerivedHelpers, HandTheirNumberToTheEffectsFloat2String) {
    Recorder r;
    char text[9] = {};
    r.dB2string(2.0f, text, 8);
    EXPECT_EQ(r.received, static_cast<float>(20.0 * std::log10(2.0)));
    EXPECT_STREQ(text, "#");
    r.Hz2string(100.0f, text, 8);
    EXPECT_EQ(r.received, 441.0f);
    r.ms2string(441.0f, text, 8);
    EXPECT_EQ(r.received, 10.0f);
    r.received = -1.0f;
    r.dB2string(0.0f, text, 8);
    EXPECT_EQ(r.received, -1.0f);  // "-oo" needs no number
    EXPECT_STREQ(text, "-oo");
}

TEST(TextHelpers, AllocateNothing) {
    if (!allocation_counter::available()) GTEST_SKIP() << "allocator owned by a sanitizer";
    Frame frame;
    PatternBuffer b;
    allocation_counter::start();
    frame.float2string(123.456f, b.data(), 8);
    frame.int2string(std::numeric_limits<std::int32_t>::min(), b.data(), 12);
    frame.dB2string(0.5f, b.data(), 8);
    frame.Hz2string(100.0f, b.data(), 8);
    frame.ms2string(441.0f, b.data(), 8);
    EXPECT_EQ(allocation_counter::stop(), 0);
}

}  // namespace
