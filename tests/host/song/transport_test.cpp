// The time records the host hands a plug-in: each block's position is the
// first block's plus the samples before it at the tempo in force.
#include "host/song/transport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "frame/opcodes.h"
#include "host/audio/render_loop.h"
#include "host/plugin/host_callback.h"
#include "host/plugin/plugin_instance.h"
#include "host/plugin/plugin_module.h"
#include "host/song/song.h"

namespace {

using namespace vsthost;

constexpr std::int32_t kMusicalFlags = kVstPpqPosValid | kVstTempoValid;

// A host that keeps a copy of every time record it answers.
class ObservingHost : public HostCallback {
public:
    std::intptr_t answer(AEffect* effect, std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                         float opt) override {
        const std::intptr_t a = HostCallback::answer(effect, opcode, index, value, ptr, opt);
        if (opcode == audioMasterGetTime && a != 0) records.push_back(*reinterpret_cast<const VstTimeInfo*>(a));
        return a;
    }
    std::vector<VstTimeInfo> records;
};

class Silence : public AudioSource {
public:
    explicit Silence(std::int64_t length) : length(length) {}
    std::int32_t channels() const override { return 2; }
    double sampleRate() const override { return 48000.0; }
    std::int64_t frames() const override { return length; }
    std::int64_t read(float* interleaved, std::int64_t frames) override {
        const std::int64_t n = std::min(frames, length - done);
        std::fill(interleaved, interleaved + 2 * n, 0.0f);
        done += n;
        return n;
    }

private:
    std::int64_t length;
    std::int64_t done = 0;
};

class Discard : public AudioSink {
public:
    void write(const float*, std::int64_t) override {}
};

struct ClockCase {
    const char* what;
    double rate;
    double bpm;
    double startBeat;
    TimeSignature signature;
    std::vector<std::int32_t> blockPattern;  // repeated
};

const std::vector<ClockCase> kClockCases{
    {"even blocks from zero", 44100.0, 120.0, 0.0, {4, 4}, {512}},
    {"odd blocks, fractional start", 48000.0, 137.5, 3.25, {7, 8}, {1, 37, 512, 5}},
    {"slow, negative start", 96000.0, 61.0, -6.0, {3, 4}, {1000, 1}},
    {"fast, long blocks", 22050.0, 999.0, 100.125, {6, 8}, {4096, 333}},
};

void expectRecordAt(const VstTimeInfo& t, const ClockCase& c, std::int64_t sample) {
    const double expectedPpq = c.startBeat + static_cast<double>(sample) * (c.bpm / 60.0 / c.rate);
    EXPECT_EQ(t.samplePos, static_cast<double>(sample));
    EXPECT_EQ(t.sampleRate, c.rate);
    EXPECT_NEAR(t.ppqPos, expectedPpq, 1e-9 * std::max(1.0, std::fabs(expectedPpq)));
    EXPECT_EQ(t.tempo, c.bpm);
    const double barLength = c.signature.numerator * 4.0 / c.signature.denominator;
    EXPECT_EQ(t.barStartPos, std::floor(t.ppqPos / barLength) * barLength);
    EXPECT_LE(t.barStartPos, t.ppqPos);
    EXPECT_GT(t.barStartPos + barLength, t.ppqPos);
    EXPECT_EQ(t.timeSigNumerator, c.signature.numerator);
    EXPECT_EQ(t.timeSigDenominator, c.signature.denominator);
    EXPECT_EQ(t.flags, kMusicalFlags);
}

TEST(Transport, AdvancesByTheSamplesOfEachBlockAtItsTempo) {
    for (const ClockCase& c : kClockCases) {
        SCOPED_TRACE(c.what);
        Transport clock(c.rate, c.bpm, c.startBeat, c.signature);
        std::int64_t sample = 0;
        for (int block = 0; block < 400; ++block) {
            expectRecordAt(clock.timeInfo(), c, sample);
            const std::int32_t frames = c.blockPattern[block % c.blockPattern.size()];
            clock.advance(frames);
            sample += frames;
        }
    }
}

TEST(Transport, TempoChangeTakesEffectFromTheCurrentPosition) {
    Transport clock(44100.0, 120.0, 1.0);
    clock.advance(44100);  // one second at 120: two beats
    EXPECT_DOUBLE_EQ(clock.ppqPosition(), 3.0);
    clock.setTempo(60.0);
    EXPECT_DOUBLE_EQ(clock.ppqPosition(), 3.0);
    clock.advance(88200);  // two seconds at 60: two more beats
    EXPECT_DOUBLE_EQ(clock.ppqPosition(), 5.0);
    EXPECT_EQ(clock.samplePosition(), 132300);
}

TEST(Transport, StoppedClockStays) {
    Transport clock(44100.0, 120.0, 2.0);
    clock.advance(100);
    clock.setPlaying(false);
    const double at = clock.ppqPosition();
    clock.advance(1000);
    EXPECT_EQ(clock.samplePosition(), 100);
    EXPECT_EQ(clock.ppqPosition(), at);
}

TEST(Transport, ReportedFlagsMaskTheRecord) {
    Transport clock;
    clock.setReportedFlags(kVstTempoValid);
    EXPECT_EQ(clock.timeInfo().flags, kVstTempoValid);
}

// The records the plug-in actually receives while the render loop runs: one
// per block, each at the samples rendered before it.
TEST(Transport, PluginReceivesOneRecordPerBlockAtItsPosition) {
    for (const ClockCase& c : kClockCases) {
        SCOPED_TRACE(c.what);
        PluginModule module(DRAVELKINT_PLUGIN_PATH);
        ObservingHost host;
        PluginInstance plugin(module, host);
        Song song(TempoMap(c.rate, c.bpm, {}, c.startBeat), c.signature);
        host.serve(song.clock());
        plugin.start(c.rate, 4096);

        std::vector<std::int64_t> starts;
        std::size_t block = 0;
        RenderSettings settings;
        settings.blockSize = 4096;
        settings.song = &song;
        settings.planner = [&](std::int64_t position, std::int32_t) {
            starts.push_back(position);
            return c.blockPattern[block++ % c.blockPattern.size()];
        };
        Silence source(20000);
        Discard sink;
        EXPECT_EQ(render(plugin, source, sink, settings), 20000);

        ASSERT_EQ(host.records.size(), starts.size());
        for (std::size_t i = 0; i < starts.size(); ++i) expectRecordAt(host.records[i], c, starts[i]);
    }
}

TEST(Transport, HostWithoutClockAnswersNull) {
    PluginModule module(DRAVELKINT_PLUGIN_PATH);
    HostCallback host;
    host.answersTime = false;
    PluginInstance plugin(module, host);
    EXPECT_EQ(HostCallback::entry(plugin.effect(), audioMasterGetTime, 0, 0x600, nullptr, 0.0f), 0);
    host.answersTime = true;
    EXPECT_NE(HostCallback::entry(plugin.effect(), audioMasterGetTime, 0, 0x600, nullptr, 0.0f), 0);
}

}  // namespace
