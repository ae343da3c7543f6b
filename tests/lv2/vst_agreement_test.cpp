// The LV2 plug-in against the VST 2.4 plug-in, each loaded as hosts load it:
// the same settings and the same song, told each its own way (time atoms
// inside runs; a time record per block from the project's host clock), give
// the same bits.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>

#include "host/allocation/allocation_counter.h"
#include "host/song/transport.h"
#include "lv2_instance.h"
#include "support/plugin_instance.h"
#include "support/wobble_setting.h"

namespace {

constexpr double kRate = 44100.0;
constexpr float kUnset = std::numeric_limits<float>::quiet_NaN();

// A time atom, and what the VST 2.4 host's clock does at the same frame.
struct Update {
    TimeAtom atom;
    std::optional<double> quarterNote;  // locate there
    std::optional<double> tempo;        // quarter notes per minute, speed included
};

// New settings given before a run: the ports' values and the VST 2.4 host values.
struct Setting {
    std::array<float, 5> ports;
    std::array<float, 5> hostValues;  // kUnset: left as it is
};

struct Run {
    std::uint32_t frames;
    std::vector<Update> updates;
    std::optional<Setting> change = std::nullopt;
};

struct Scenario {
    const char* name;
    std::vector<Run> runs;
    bool vstAnswersNoTime = false;
};

// As hosts send it while playing: 4/4 counted in quarter notes.
Update playing(std::int64_t frame, std::int64_t bar, float barBeat, float bpm) {
    return {{.frame = frame,
             .bar = bar,
             .barBeat = barBeat,
             .beatUnit = 4,
             .beatsPerBar = 4.0f,
             .beatsPerMinute = bpm,
             .speed = 1.0f},
            static_cast<double>(bar) * 4.0 + barBeat,
            bpm};
}
Update tempo(std::int64_t frame, float bpm) { return {{.frame = frame, .beatsPerMinute = bpm}, {}, bpm}; }
Update speed(std::int64_t frame, float speed, double tempo) { return {{.frame = frame, .speed = speed}, {}, tempo}; }

std::uint32_t framesOf(const Scenario& s) {
    std::uint32_t n = 0;
    for (const Run& r : s.runs) n += r.frames;
    return n;
}

void runLv2(Lv2Instance& plugin, const Scenario& s, StereoBuffer& in, StereoBuffer& out) {
    std::size_t first = 0;
    for (const Run& r : s.runs) {
        if (r.change) plugin.controls = r.change->ports;
        std::vector<TimeAtom> atoms;
        for (const Update& u : r.updates) atoms.push_back(u.atom);
        plugin.run(in, out, first, r.frames, atoms);
        first += r.frames;
    }
}

// The VST 2.4 plug-in through its record, in blocks split at each update.
// Until a position comes, each run starts at the song's start, as it does
// for the LV2 plug-in.
void runVst(const Scenario& s, const std::array<float, 5>& hostValues, StereoBuffer& in, StereoBuffer& out) {
    PluginLibrary library;
    RecordingHost host;
    host.answerTime = !s.vstAnswersNoTime;
    PluginInstance plugin(library, host);
    plugin.setSampleRate(static_cast<float>(kRate));
    auto set = [&plugin](const std::array<float, 5>& values) {
        for (std::int32_t i = 0; i < 5; ++i)
            if (!std::isnan(values[i])) plugin.setParameter(i, values[i]);
    };
    set(hostValues);
    vsthost::Transport clock(kRate);
    bool positionGiven = false;
    std::size_t first = 0;
    auto block = [&](std::uint32_t frames) {
        host.time = clock.timeInfo();
        float* inputs[2] = {in.left.data() + first, in.right.data() + first};
        float* outputs[2] = {out.left.data() + first, out.right.data() + first};
        plugin.effect->processReplacing(plugin.effect, inputs, outputs, static_cast<std::int32_t>(frames));
        clock.advance(frames);
        first += frames;
    };
    for (const Run& r : s.runs) {
        if (r.change) set(r.change->hostValues);
        if (!positionGiven) clock.locate(clock.samplePosition(), 0.0);
        std::uint32_t done = 0;
        for (const Update& u : r.updates) {
            block(static_cast<std::uint32_t>(u.atom.frame) - done);
            done = static_cast<std::uint32_t>(u.atom.frame);
            if (u.tempo) clock.setTempo(*u.tempo);
            if (u.quarterNote) clock.locate(clock.samplePosition(), *u.quarterNote);
            positionGiven = positionGiven || u.quarterNote.has_value();
        }
        block(r.frames - done);
    }
}

// Both plug-ins through the scenario; true when every output bit agrees.
::testing::AssertionResult agree(const Scenario& s, const std::array<float, 5>& ports,
                                 const std::array<float, 5>& hostValues) {
    StereoBuffer in = noise(framesOf(s), 3), lv2Out(in.frames()), vstOut(in.frames());
    Lv2Instance plugin(kRate);
    plugin.controls = ports;
    runLv2(plugin, s, in, lv2Out);
    runVst(s, hostValues, in, vstOut);
    if (sameBits(lv2Out.left, vstOut.left) && sameBits(lv2Out.right, vstOut.right))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << s.name << ": the outputs differ";
}

// A sweep that moves fast enough to show any misplaced frame: 1/16 notes
// between 300 and 6000 Hz at Q 4.3, 75 % filtered.
constexpr std::array<float, 5> kSweepHost{0.65f, 0.014f, 0.3f, 0.3f, 0.75f};
std::array<float, 5> sweepPorts() {
    const WobbleSetting s = WobbleSetting::fromHost(static_cast<float>(kRate), {0.65f, 0.014f, 0.3f, 0.3f, 0.75f});
    return {static_cast<float>(s.periodIndex), s.freq1, s.freq2, s.q, 75.0f};
}

const Scenario kSteadySong{"a steady song in blocks of every size",
                           {{512, {playing(0, 0, 0.0f, 128.0f)}}, {1, {}}, {37, {}}, {0, {}}, {1024, {}}, {4096, {}}}};

TEST(Lv2AgreesWithVst, ThroughEveryChangeOfTheSong) {
    const std::vector<Scenario> scenarios{
        kSteadySong,
        {"tempo changes inside a run",
         {{700, {playing(0, 2, 1.0f, 100.0f)}}, {900, {tempo(333, 140.0f), tempo(800, 73.5f)}}, {1000, {}}}},
        {"jumps, a loop back and a running beat",
         {{600, {playing(0, 7, 2.25f, 120.0f)}},
          {800, {{{.frame = 123, .bar = 0, .barBeat = 0.0f}, 0.0, {}}}},
          {500, {{{.frame = 0, .beat = 37.75}, 37.75, {}}}},
          {400, {}}}},
        {"stop, stand, start again and play backwards",
         {{600, {playing(0, 1, 0.0f, 120.0f)}},
          {600, {speed(250, 0.0f, 0.0)}},
          {600, {}},
          {600, {playing(100, 1, 3.0f, 120.0f)}},
          {500, {speed(200, -1.0f, -120.0)}}}},
        {"6/8 counted in eighths",
         {{1000,
           {{{.frame = 0,
              .bar = 2,
              .barBeat = 3.0f,
              .beatUnit = 8,
              .beatsPerBar = 6.0f,
              .beatsPerMinute = 180.0f,
              .speed = 1.0f},
             7.5,
             90.0}}},
          {1000, {}}}},
        {"no position: every run from the song's start", {{300, {}}, {1000, {}}, {64, {}}}, true},
        {"a tempo but no position", {{500, {tempo(0, 150.0f)}}, {700, {}}}},
        {"an update in a run of no frames", {{0, {playing(0, 4, 0.0f, 90.0f)}}, {800, {}}}},
        {"settings changed between runs",
         {{600, {playing(0, 0, 0.0f, 128.0f)}},
          {600, {}, Setting{{11.0f, 1268.75f, 5015.0f, 14.14f, 30.0f}, {1.0f, 0.0625f, 0.25f, 1.0f, 0.3f}}},
          {600, {}, Setting{{0.0f, kUnset, kUnset, kUnset, 100.0f}, {0.0f, kUnset, kUnset, kUnset, 1.0f}}}}},
    };
    for (const Scenario& s : scenarios) EXPECT_TRUE(agree(s, sweepPorts(), kSweepHost));
}

// Each port carries the working value a VST 2.4 host value gives; the
// bundle's ends and defaults are the parameters' ends and defaults.
TEST(Lv2AgreesWithVst, OnEverySettingBothCanExpress) {
    struct Row {
        std::string name;
        std::array<float, 5> ports;
        std::array<float, 5> hostValues;  // kUnset: left at the default
    };
    const std::array<float, 5> defaults = Lv2Instance::controlRange(Lv2Instance::kDefault);
    std::vector<Row> rows{
        {"the described defaults", defaults, {kUnset, kUnset, kUnset, kUnset, kUnset}},
        {"the described minimum", Lv2Instance::controlRange(Lv2Instance::kMinimum), {0, 0, 0, 0, 0}},
        {"the described maximum", Lv2Instance::controlRange(Lv2Instance::kMaximum), {1, 1, 1, 1, 1}},
        {"beyond the ranges", {-3.0f, 5.0f, 1e9f, 100.0f, 250.0f}, {0, 0, 1, 1, 1}},
        {"not a number", {kUnset, kUnset, kUnset, kUnset, kUnset}, {kUnset, kUnset, kUnset, kUnset, kUnset}},
        {"halfway", {5.0f, 5015.0f, 10010.0f, 0.5f * 14.0f + 0.14f, 50.0f}, {0.5f, 0.25f, 0.5f, 0.5f, 0.5f}},
        {"between two note values", {8.6f, 1268.75f, 2517.5f, 14.14f, 100.0f}, {0.85f, 0.0625f, 0.125f, 1, 1}},
    };
    for (int percent = 0; percent <= 100; ++percent) {
        Row row{"Mix " + std::to_string(percent) + " %", defaults, {kUnset, kUnset, kUnset, kUnset, kUnset}};
        row.ports[4] = static_cast<float>(percent);
        row.hostValues[4] = static_cast<float>(percent) / 100.0f;
        rows.push_back(row);
    }
    const Scenario song{"", {{700, {playing(0, 0, 0.5f, 133.0f)}}, {300, {}}}};
    for (const Row& row : rows) EXPECT_TRUE(agree(song, row.ports, row.hostValues)) << row.name;
}

TEST(Lv2Realtime, RunAllocatesNothingAndRunsOfNoFramesTouchNothing) {
    if (!allocation_counter::available()) GTEST_SKIP() << "the sanitizer owns the allocator";
    Lv2Instance plugin(kRate);
    StereoBuffer in = noise(1024, 5), out(1024);
    const std::vector<TimeAtom> atoms{playing(0, 3, 1.0f, 128.0f).atom, tempo(100, 140.0f).atom};
    plugin.run(in, out, 0, 512, atoms);  // the test host maps its URIs here
    std::fill(out.left.begin(), out.left.end(), 7.0f);
    std::fill(out.right.begin(), out.right.end(), 7.0f);
    const std::vector<float> untouched = out.left;

    allocation_counter::start();
    plugin.run(in, out, 0, 0, atoms);
    const bool nothingWritten = sameBits(out.left, untouched) && sameBits(out.right, untouched);
    plugin.run(in, out, 0, 1024, atoms);
    EXPECT_EQ(allocation_counter::stop(), 0);
    EXPECT_TRUE(nothingWritten);
}

// Activation forgets the filters' histories and the song: what follows is
// what a fresh instance gives.
TEST(Lv2Lifecycle, ActivationStartsAfresh) {
    const Scenario noPosition{"", {{2000, {}}, {2000, {}}}};
    StereoBuffer in = noise(framesOf(kSteadySong), 9), before(in.frames()), after(in.frames()), fresh(in.frames());
    Lv2Instance plugin(kRate), freshPlugin(kRate);
    plugin.controls = freshPlugin.controls = sweepPorts();
    runLv2(plugin, kSteadySong, in, before);
    plugin.activate();
    runLv2(plugin, noPosition, in, after);
    runLv2(freshPlugin, noPosition, in, fresh);
    EXPECT_TRUE(sameBits(after.left, fresh.left) && sameBits(after.right, fresh.right));
}

}  // namespace
