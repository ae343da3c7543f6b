// Speaker-arrangement records: allocation into the caller's location,
// copying one speaker, and matching a whole arrangement.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "frame/audio_effect_x.h"

namespace {

class Plain : public AudioEffectX {
public:
    Plain() : AudioEffectX(nullptr, 1, 1) {}
    void processReplacing(float**, float**, std::int32_t) override {}
};

// 70 characters, no two neighbours alike.
const std::string kSeventy = [] {
    std::string s;
    for (int i = 0; i < 70; ++i) s += static_cast<char>('!' + i);
    return s;
}();

// A speaker with every field distinct; the name is written from byte 16 on
// and may run past its field, as a longer name does in a host's record.
VstSpeakerProperties speakerNamed(const std::string& name, unsigned char seed = 1) {
    VstSpeakerProperties s;
    auto* const bytes = reinterpret_cast<unsigned char*>(&s);
    for (std::size_t i = 0; i < sizeof s; ++i) bytes[i] = static_cast<unsigned char>(seed + i);
    s.azimuth = 1.5f * seed;
    s.elevation = -0.25f;
    s.radius = 2.0f;
    s.reserved = 3.0f;
    std::memcpy(bytes + offsetof(VstSpeakerProperties, name), name.c_str(), name.size() + 1);
    return s;
}

// The same with the rest of the name field zero, as a copy leaves it.
VstSpeakerProperties tidySpeaker(const std::string& name, unsigned char seed) {
    VstSpeakerProperties s = speakerNamed(name, seed);
    std::memset(s.name + name.size(), 0, sizeof s.name - name.size());
    return s;
}

std::string bytesOf(const void* p, std::size_t from, std::size_t count) {
    return std::string(static_cast<const char*>(p) + from, count);
}

TEST(SpeakerTools, CopySpeakerBoundsTheNameAndCopiesEverythingElse) {
    struct Case {
        std::string source;
        std::string name;  // the whole 64-byte field expected
    };
    const Case cases[] = {
        {kSeventy, kSeventy.substr(0, 63) + std::string(1, '\0')},
        {"abc", "abc" + std::string(61, '\0')},
        {"", std::string(64, '\0')},
        {kSeventy.substr(0, 63), kSeventy.substr(0, 63) + std::string(1, '\0')},
        {kSeventy.substr(0, 62), kSeventy.substr(0, 62) + std::string(2, '\0')},
    };
    for (const Case& c : cases) {
        Plain fx;
        VstSpeakerProperties from = speakerNamed(c.source);
        VstSpeakerProperties to;
        std::memset(&to, 0xAA, sizeof to);
        ASSERT_TRUE(fx.copySpeaker(&to, &from)) << c.source;
        EXPECT_EQ(bytesOf(&to, 16, 64), c.name) << c.source;
        EXPECT_EQ(bytesOf(&to, 0, 16), bytesOf(&from, 0, 16)) << c.source;
        EXPECT_EQ(bytesOf(&to, 80, 32), bytesOf(&from, 80, 32)) << c.source;
    }
}

TEST(SpeakerTools, CopySpeakerWithoutEitherSpeakerChangesNothing) {
    Plain fx;
    VstSpeakerProperties from = speakerNamed("abc");
    VstSpeakerProperties to;
    std::memset(&to, 0xAA, sizeof to);
    const VstSpeakerProperties before = to;
    EXPECT_FALSE(fx.copySpeaker(nullptr, &from));
    EXPECT_FALSE(fx.copySpeaker(&to, nullptr));
    EXPECT_FALSE(fx.copySpeaker(nullptr, nullptr));
    EXPECT_EQ(std::memcmp(&to, &before, sizeof to), 0);
}

TEST(SpeakerTools, AllocationHoldsAZeroedRecordOrNull) {
    struct Case {
        std::int32_t channels;
        bool made;
    };
    // 19173961 speakers are the most whose record size fits 31 bits.
    const Case cases[] = {
        {0, true}, {1, true}, {3, true}, {-1, false}, {INT_MIN, false}, {19173962, false}, {INT_MAX, false},
    };
    for (const Case& c : cases) {
        Plain fx;
        VstSpeakerArrangement* location = nullptr;
        // Start from a record already held, which allocation must release.
        ASSERT_TRUE(fx.allocateArrangement(&location, 2));
        location->type = 9;
        EXPECT_EQ(fx.allocateArrangement(&location, c.channels), c.made) << c.channels;
        if (!c.made) {
            EXPECT_EQ(location, nullptr) << c.channels;
            continue;
        }
        ASSERT_NE(location, nullptr);
        EXPECT_EQ(location->type, 0);
        EXPECT_EQ(location->numChannels, c.channels);
        const std::string body = bytesOf(location, 8, 112 * static_cast<std::size_t>(c.channels));
        EXPECT_EQ(body, std::string(body.size(), '\0')) << c.channels;
        EXPECT_TRUE(fx.deallocateArrangement(&location));
        EXPECT_EQ(location, nullptr);
    }
}

TEST(SpeakerTools, DeallocatingNothingSucceeds) {
    Plain fx;
    VstSpeakerArrangement* location = nullptr;
    EXPECT_TRUE(fx.deallocateArrangement(&location));
    EXPECT_EQ(location, nullptr);
}

TEST(SpeakerTools, MatchArrangementCopiesTypeAndEverySpeaker) {
    for (const std::int32_t channels : {0, 1, 3}) {
        Plain fx;
        VstSpeakerArrangement from{};
        from.type = 5;
        from.numChannels = channels;
        for (std::int32_t i = 0; i < 8; ++i) {
            from.speakers[i] = tidySpeaker("speaker " + std::to_string(i), static_cast<unsigned char>(i + 1));
        }
        VstSpeakerArrangement* location = nullptr;
        ASSERT_TRUE(fx.allocateArrangement(&location, 6));
        ASSERT_TRUE(fx.matchArrangement(&location, &from)) << channels;
        ASSERT_NE(location, nullptr);
        EXPECT_EQ(location->type, 5);
        EXPECT_EQ(location->numChannels, channels);
        EXPECT_EQ(bytesOf(location->speakers, 0, 112 * channels), bytesOf(from.speakers, 0, 112 * channels));
        fx.deallocateArrangement(&location);
    }
}

TEST(SpeakerTools, MatchArrangementRefusesAMissingOrNegativeSource) {
    Plain fx;
    VstSpeakerArrangement negative{};
    negative.numChannels = -1;
    for (VstSpeakerArrangement* from : {static_cast<VstSpeakerArrangement*>(nullptr), &negative}) {
        VstSpeakerArrangement* location = nullptr;
        ASSERT_TRUE(fx.allocateArrangement(&location, 1));
        location->type = 4;
        VstSpeakerArrangement* const held = location;
        EXPECT_FALSE(fx.matchArrangement(&location, from));
        // Untouched: still the same live record.
        EXPECT_EQ(location, held);
        EXPECT_EQ(location->type, 4);
        EXPECT_EQ(location->numChannels, 1);
        fx.deallocateArrangement(&location);
    }
}

TEST(SpeakerTools, MatchArrangementLeavesNullWhenTheRecordCannotBeMade) {
    Plain fx;
    VstSpeakerArrangement huge{};
    huge.numChannels = INT_MAX;
    VstSpeakerArrangement* location = nullptr;
    ASSERT_TRUE(fx.allocateArrangement(&location, 1));
    EXPECT_FALSE(fx.matchArrangement(&location, &huge));
    EXPECT_EQ(location, nullptr);
}

// The tools that matchArrangement uses are reached as overrides.
class FailingSecondCopy : public Plain {
public:
    int copies = 0;
    bool copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from) override {
        return ++copies < 2 && Plain::copySpeaker(to, from);
    }
};

TEST(SpeakerTools, MatchArrangementStopsAtTheFirstFailedCopy) {
    FailingSecondCopy fx;
    VstSpeakerArrangement from{};
    from.numChannels = 3;
    for (std::int32_t i = 0; i < 3; ++i) from.speakers[i] = tidySpeaker("s", static_cast<unsigned char>(i + 7));
    VstSpeakerArrangement* location = nullptr;
    EXPECT_FALSE(fx.matchArrangement(&location, &from));
    EXPECT_EQ(fx.copies, 2);
    ASSERT_NE(location, nullptr);
    EXPECT_EQ(bytesOf(location->speakers, 0, 112), bytesOf(from.speakers, 0, 112));
    EXPECT_EQ(bytesOf(location->speakers, 112, 224), std::string(224, '\0'));
    fx.deallocateArrangement(&location);
}

}  // namespace
