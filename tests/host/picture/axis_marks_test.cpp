#include "host/picture/axis_marks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "host/picture/render_picture.h"

using vsthost::AxisMark;
using vsthost::BitmapFont;
using vsthost::Spectrogram;
using vsthost::TempoMap;
using vsthost::TimeMarks;
using vsthost::TimeSignature;

namespace {

const BitmapFont kFont(2);

std::vector<std::string> texts(const std::vector<AxisMark>& marks) {
    std::vector<std::string> out;
    for (const AxisMark& m : marks)
        if (!m.text.empty()) out.push_back(m.text);
    return out;
}

std::vector<double> places(const std::vector<AxisMark>& marks) {
    std::vector<double> out;
    for (const AxisMark& m : marks) out.push_back(m.at);
    return out;
}

// As the picture asks, for the default picture size.
std::vector<AxisMark> frequencyMarksAt(double sampleRate) {
    const double highest = sampleRate / 2.0;
    const double height = Spectrogram::plotArea({}).height;
    return vsthost::frequencyMarks(highest, height / std::log2(highest / Spectrogram::kLowestHz), kFont.capHeight());
}

}  // namespace

TEST(AxisMarks, TheTopOfTheFrequencyAxisIsNamedWhereItStandsApart) {
    struct Case {
        double rate;
        std::vector<std::string> top;  // the last marks, highest last
    };
    const Case cases[] = {
        {8000.0, {"1k", "2k", "4k"}},      {44100.0, {"5k", "10k", "20k"}},  // 22.05k would touch 20k
        {48000.0, {"5k", "10k", "20k"}},   {96000.0, {"10k", "20k", "48k"}},
        {192000.0, {"20k", "50k", "96k"}}, {384000.0, {"50k", "100k", "192k"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        const std::vector<std::string> all = texts(frequencyMarksAt(c.rate));
        ASSERT_GE(all.size(), c.top.size());
        EXPECT_EQ(all.front(), "20");
        EXPECT_EQ(std::vector<std::string>(all.end() - static_cast<std::ptrdiff_t>(c.top.size()), all.end()), c.top);
    }
}

TEST(AxisMarks, BarsAreCountedFromOneWithTicksInTheSignaturesUnit) {
    struct Case {
        const char* name;
        TimeSignature signature;
        double endBeat;  // from beat 0, over 1000 pixels
        std::vector<std::string> bars;
        std::vector<double> ticks;  // in the first bar
        std::vector<std::string> beatNumbers;
    };
    const Case cases[] = {
        {"four bars of 4/4", {4, 4}, 16.0, {"1", "2", "3", "4", "5"}, {1.0, 2.0, 3.0}, {}},
        {"four bars of 6/8", {6, 8}, 12.0, {"1", "2", "3", "4", "5"}, {0.5, 1.0, 1.5, 2.0, 2.5}, {}},
        {"four bars of 3/4", {3, 4}, 12.0, {"1", "2", "3", "4", "5"}, {1.0, 2.0}, {}},
        {"one bar of 4/4", {4, 4}, 4.0, {"1", "2"}, {1.0, 2.0, 3.0}, {"1.2", "1.3", "1.4"}},
        {"one bar of 6/8", {6, 8}, 3.0, {"1", "2"}, {0.5, 1.0, 1.5, 2.0, 2.5}, {"1.2", "1.3", "1.4", "1.5", "1.6"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TimeMarks marks = vsthost::timeMarks(0.0, c.endBeat, c.signature, 1000.0 / c.endBeat, kFont);
        EXPECT_EQ(marks.lineStep, 1);
        EXPECT_EQ(texts(marks.bars), c.bars);
        const double barLength = c.signature.numerator * 4.0 / c.signature.denominator;
        std::vector<double> firstBar;
        for (const AxisMark& tick : marks.beats)
            if (tick.at < barLength) firstBar.push_back(tick.at);
        EXPECT_EQ(firstBar, c.ticks);
        EXPECT_EQ(texts(marks.beats), c.beatNumbers);
    }
}

TEST(AxisMarks, LongFilesKeepEvenlySpacedBarLines) {
    // 2000 bars of 4/4 in 1000 pixels: a line every few bars, never a crowd.
    const TimeMarks marks = vsthost::timeMarks(0.0, 8000.0, {4, 4}, 1000.0 / 8000.0, kFont);
    EXPECT_GE(4.0 * static_cast<double>(marks.lineStep) / 8.0, 6.0);  // pixels between lines
    ASSERT_GE(marks.bars.size(), 50u);
    for (const AxisMark& bar : marks.bars) {
        SCOPED_TRACE(bar.at);
        EXPECT_EQ(static_cast<std::int64_t>(bar.at / 4.0) % marks.lineStep, 0);
    }
    EXPECT_TRUE(marks.beats.empty());
    EXPECT_EQ(texts(marks.bars).front(), "1");
}

TEST(AxisMarks, ClipsStartingMidSongCountBarsOfTheSong) {
    const TimeMarks marks = vsthost::timeMarks(6.0, 22.0, {4, 4}, 1000.0 / 16.0, kFont);
    EXPECT_EQ(places(marks.bars), (std::vector<double>{8.0, 12.0, 16.0, 20.0}));
    EXPECT_EQ(texts(marks.bars), (std::vector<std::string>{"3", "4", "5", "6"}));
    EXPECT_EQ(marks.beats.front().at, 6.0);  // the tick of bar 2's third beat, at the left edge
}

TEST(AxisMarks, EveryTempoOfTheRenderIsShownWhereItStarts) {
    const TempoMap tempo(44100.0, 120.0, {{8.0, 140.0}, {16.0, 90.5}, {64.0, 60.0}});
    // Beat 16 falls on sample 8 x 22050 + 8 x 18900 = 327600; the change at 64 is past the end.
    const std::vector<AxisMark> marks = vsthost::tempoMarks(tempo, 400000);
    EXPECT_EQ(places(marks), (std::vector<double>{0.0, 8.0, 16.0}));
    EXPECT_EQ(texts(marks), (std::vector<std::string>{"120 BPM", "140 BPM", "90.5 BPM"}));
    EXPECT_EQ(texts(vsthost::tempoMarks(tempo, 327599)), (std::vector<std::string>{"120 BPM", "140 BPM"}));
}
