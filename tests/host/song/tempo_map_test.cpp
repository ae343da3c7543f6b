#include "host/song/tempo_map.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "automation/automation_recording_host.h"
#include "host/text/failure.h"

using vsthost::Failure;
using vsthost::FailureKind;
using vsthost::TempoChange;
using vsthost::TempoMap;

namespace {

constexpr double kRate = 44100.0;

// The song position of a sample by the definition: the integral of the
// tempo from the start, walked change by change in extended precision.
long double exactBeat(std::int64_t sample, long double startBpm, const std::vector<TempoChange>& changes) {
    const long double t = static_cast<long double>(sample) / kRate;
    long double seconds = 0.0L;
    long double beat = 0.0L;
    long double bpm = startBpm;
    for (const TempoChange& change : changes) {
        const long double reached = seconds + (change.beat - beat) * 60.0L / bpm;
        if (t < reached) break;
        seconds = reached;
        beat = change.beat;
        bpm = change.bpm;
    }
    return beat + (t - seconds) * bpm / 60.0L;
}

struct ParseCase {
    const char* text;
    std::vector<TempoChange> expected;  // empty: refused
    const char* complaint;
};

}  // namespace

TEST(TempoMapText, ReadsStepsAndRefusesWhatIsNotATempoMap) {
    const std::vector<ParseCase> cases = {
        {"0:120", {{0.0, 120.0}}, ""},
        {"0:120, 8:90.5,16 : 140", {{0.0, 120.0}, {8.0, 90.5}, {16.0, 140.0}}, ""},
        {"+4:100", {{4.0, 100.0}}, ""},
        {"", {}, "expected BEAT:BPM"},
        {"4", {}, "'4' is not BEAT:BPM"},
        {"4:fast", {}, "two numbers"},
        {"4:inf", {}, "two numbers"},
        {"4:120,", {}, "'' is not BEAT:BPM"},
        {"4:0", {}, "tempo 0 at beat 4: a tempo must be above zero"},
        {"4:-120", {}, "tempo -120 at beat 4: a tempo must be above zero"},
        {"-1:120", {{-1.0, 120.0}}, ""},  // a pre-roll's; the map, knowing the start, decides
        {"8:120,4:100", {}, "beat 4 comes after beat 8"},
        {"4:120,4:100", {}, "beat 4 comes after beat 4"},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.text);
        if (!c.expected.empty()) {
            const std::vector<TempoChange> changes = vsthost::parseTempoMap(c.text);
            ASSERT_EQ(changes.size(), c.expected.size());
            for (std::size_t i = 0; i < changes.size(); ++i) {
                EXPECT_EQ(changes[i].beat, c.expected[i].beat);
                EXPECT_EQ(changes[i].bpm, c.expected[i].bpm);
            }
            continue;
        }
        try {
            vsthost::parseTempoMap(c.text);
            ADD_FAILURE() << "accepted";
        } catch (const Failure& e) {
            EXPECT_EQ(e.kind(), FailureKind::usage);
            EXPECT_NE(std::string(e.what()).find(c.complaint), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find("--tempo-map"), std::string::npos) << e.what();
        }
    }
}

TEST(TempoMap, RefusesTemposThatAreNotAboveZeroAndBeatsThatDoNotRise) {
    EXPECT_THROW(TempoMap(kRate, 0.0), Failure);
    EXPECT_THROW(TempoMap(kRate, -90.0), Failure);
    EXPECT_THROW(TempoMap(kRate, 120.0, {{4.0, 0.0}}), Failure);
    EXPECT_THROW(TempoMap(kRate, 120.0, {{4.0, 100.0}, {2.0, 90.0}}), Failure);
    EXPECT_THROW(TempoMap(kRate, 120.0, {{4.0, 100.0}, {4.0, 90.0}}), Failure);
    EXPECT_NO_THROW(TempoMap(kRate, 120.0, {{0.0, 100.0}, {4.0, 90.0}}));
}

// The song starts at a negative start beat (a pre-roll), else at beat 0.
TEST(TempoMap, RefusesChangesBeforeTheSongStarts) {
    struct Case {
        double startBeat;
        double beat;
        const char* complaint;  // "" when taken
    };
    for (const Case c : {Case{-4.0, -4.0, ""}, Case{-4.0, -2.0, ""}, Case{4.0, 0.0, ""}, Case{0.0, 0.0, ""},
                         Case{-4.0, -4.5, "beat -4.5 lies before the start of the render at beat -4"},
                         Case{0.0, -1.0, "beat -1 lies before the start of the song at beat 0"},
                         Case{4.0, -0.5, "beat -0.5 lies before the start of the song at beat 0"}}) {
        SCOPED_TRACE(std::to_string(c.startBeat) + " " + std::to_string(c.beat));
        if (c.complaint[0] == '\0') {
            EXPECT_NO_THROW(TempoMap(kRate, 120.0, {{c.beat, 90.0}}, c.startBeat));
            continue;
        }
        try {
            TempoMap(kRate, 120.0, {{c.beat, 90.0}}, c.startBeat);
            ADD_FAILURE() << "accepted";
        } catch (const Failure& e) {
            EXPECT_NE(std::string(e.what()).find(c.complaint), std::string::npos) << e.what();
        }
    }
}

TEST(TempoMap, PlacesBeatsOnSamplesAcrossChanges) {
    // 120 BPM is 22050 samples a beat, 60 BPM 44100, 180 BPM 14700.
    const TempoMap map(kRate, 120.0, {{8.0, 60.0}, {12.0, 180.0}});
    struct Case {
        double beat;
        std::int64_t sample;
    };
    for (const Case c : {Case{0.0, 0}, Case{4.0, 88200}, Case{8.0, 176400}, Case{10.0, 264600}, Case{12.0, 352800},
                         Case{16.0, 411600}}) {
        SCOPED_TRACE(c.beat);
        EXPECT_EQ(map.firstSampleAt(c.beat), c.sample);
        EXPECT_EQ(map.beatAt(c.sample), c.beat);
    }
    EXPECT_EQ(map.tempoAt(176399), 120.0);
    EXPECT_EQ(map.tempoAt(176400), 60.0);
    EXPECT_EQ(map.tempoAt(352800), 180.0);
    EXPECT_EQ(map.nextChangeAfter(-1), 0);
    EXPECT_EQ(map.nextChangeAfter(0), 176400);
    EXPECT_EQ(map.nextChangeAfter(176400), 352800);
    EXPECT_EQ(map.nextChangeAfter(352800), TempoMap::kNever);
    // A beat between two samples takes effect on the later one.
    EXPECT_EQ(map.firstSampleAt(1.0 / 22050.0 * 0.5), 1);
}

TEST(TempoMap, TwoChangesWithinOneSampleKeepTheirOrder) {
    // 4.00001 falls at sample 88200.441 and, at 6000 BPM, 4.001 at 88200.878:
    // the beats between run at 6000 BPM, and sample 88201 hears 120 BPM.
    const TempoMap map(kRate, 120.0, {{4.0, 60.0}, {4.00001, 6000.0}, {4.001, 120.0}});
    EXPECT_EQ(map.firstSampleAt(4.0005), 88201);
    EXPECT_LT(map.sampleAt(4.0005), map.sampleAt(4.001));
    EXPECT_EQ(map.tempoAt(88200), 60.0);
    EXPECT_EQ(map.tempoAt(88201), 120.0);
    EXPECT_EQ(map.nextChangeAfter(88200), 88201);
    EXPECT_EQ(map.nextChangeAfter(88201), TempoMap::kNever);
}

TEST(TempoMap, StartsAtTheStartBeatWithTheTempoInForceThere) {
    const TempoMap map(kRate, 120.0, {{2.0, 60.0}, {6.0, 240.0}}, 4.0);
    EXPECT_EQ(map.beatAt(0), 4.0);
    EXPECT_EQ(map.tempoAt(0), 60.0);
    EXPECT_EQ(map.firstSampleAt(6.0), 88200);
    EXPECT_EQ(map.tempoAt(88200), 240.0);
    EXPECT_EQ(map.beatAt(88200 + 11025), 7.0);
}

TEST(TempoMap, BeatsBeyondTheRangeOfSamplesLieAtEitherEnd) {
    // From beat 1e15 on, beat 0 lies some 2e19 samples before sample 0.
    const TempoMap map(kRate, 120.0, {}, 1e15);
    EXPECT_EQ(map.firstSampleAt(0.0), -TempoMap::kNever);
    EXPECT_EQ(map.firstSampleAt(-1e300), -TempoMap::kNever);
    EXPECT_EQ(map.firstSampleAt(1e15), 0);
    EXPECT_EQ(map.firstSampleAt(1e300), TempoMap::kNever);
    // A beat at this tempo lasts longer than any number of samples.
    const TempoMap slow(kRate, 1e-303);
    EXPECT_EQ(slow.firstSampleAt(0.0), 0);
    EXPECT_EQ(slow.firstSampleAt(1.0), TempoMap::kNever);
}

// The map of the render tests: steps up and down, one that falls between
// two samples and a stretch of a few hundred samples.
const double kStartBpm = 120.0;
const std::vector<TempoChange> kChanges = {{3.3, 97.5}, {7.0, 150.0}, {7.01, 61.0}, {9.0, 200.0}};

TEST(TempoMapRender, PositionsHandedToThePluginAreTheIntegralOfTheTempoForEveryBlockSize) {
    const TempoMap map(kRate, kStartBpm, kChanges);
    const std::vector<float> input = noise(static_cast<std::size_t>(6.5 * kRate));
    std::vector<float> first;
    for (const std::int32_t blockSize : {1, 37, 512}) {
        SCOPED_TRACE(blockSize);
        const Rendered run = renderThrough(input, kRate, blockSize, map);
        ASSERT_FALSE(run.blocks.empty());
        std::vector<std::int64_t> changeSamples;
        for (std::int64_t s = map.nextChangeAfter(0); s != TempoMap::kNever; s = map.nextChangeAfter(s))
            changeSamples.push_back(s);
        ASSERT_EQ(changeSamples.size(), kChanges.size());
        for (std::size_t b = 0; b < run.blocks.size(); ++b) {
            const BlockStart& block = run.blocks[b];
            const long double exact = exactBeat(block.sample, kStartBpm, kChanges);
            // A few units in the last place of the position: exact to double precision.
            ASSERT_NEAR(block.ppqPos, static_cast<double>(exact), 8.0 * (std::nextafter(16.0, 17.0) - 16.0))
                << "block at " << block.sample;
            ASSERT_EQ(block.tempo, map.tempoAt(block.sample)) << "block at " << block.sample;
            // No block runs across a change of tempo.
            const std::int64_t end =
                b + 1 < run.blocks.size() ? run.blocks[b + 1].sample : static_cast<std::int64_t>(input.size());
            for (const std::int64_t change : changeSamples)
                ASSERT_FALSE(change > block.sample && change < end) << "block " << block.sample << " to " << end;
        }
        if (first.empty())
            first = run.output;
        else
            EXPECT_TRUE(run.output == first) << "the render differs from the one with blocks of 1";
    }
}
