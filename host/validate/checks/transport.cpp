// What the host's clock tells the plug-in, from nothing at all to nonsense:
// no answer to the time query, cleared flags over garbage values, tempo 0,
// negative and huge, negative positions, jumps, loops and a stopped song.
// Whatever the clock says, the output must stay finite and bounded.
#include <cfloat>
#include <cmath>
#include <functional>
#include <limits>
#include <string>

#include "host/validate/audio_probe.h"
#include "host/validate/catalogue.h"
#include "host/validate/plugin_under_test.h"

namespace vsthost::validate {

namespace {

constexpr std::int32_t kBlock = 512;
constexpr int kBlocks = 64;
constexpr double kRate = 44100.0;

// Sets the host's clock before each block; `block` counts from 0.
using ClockScenario = std::function<void(ValidatorHost& host, int block, SeededRandom& random)>;

Outcome underClock(CheckContext& context, const std::string& what, const ClockScenario& scenario) {
    PluginUnderTest plugin(context);
    plugin.start(kRate, kBlock);
    BlockBuffers io(plugin, kBlock);
    SignalScan scan;
    for (int b = 0; b < kBlocks; ++b) {
        scenario(plugin.host(), b, context.random);
        processNoise(plugin, io, context.random, kBlock, scan);
    }
    return judgeOutput(scan, context, what);
}

// An LV2 plug-in hears the clock as a time:Position; a VST 2.4 one may also
// be told nothing at all, or flags over garbage, which LV2 has no way to say.
Check clockCheck(const char* id, int strictness, const char* what, ClockScenario scenario,
                 Formats formats = Formats::both) {
    return {id, strictness, what,   [what, scenario](CheckContext& c) { return underClock(c, what, scenario); },
            1,  false,      formats};
}

}  // namespace

CheckGroup transportGroup() {
    return {"transport",
            {
                clockCheck(
                    "transport.no-time", 2, "the host answers the time query with null",
                    [](ValidatorHost& host, int, SeededRandom&) { host.answersTime = false; }, Formats::vst2),
                clockCheck(
                    "transport.flags-cleared", 3, "no valid flags, over NaN position and tempo",
                    [](ValidatorHost& host, int block, SeededRandom&) {
                        if (block > 0) return;
                        constexpr double nan = std::numeric_limits<double>::quiet_NaN();
                        host.transport.setReportedFlags(0);
                        host.transport.setTempo(nan);
                        host.transport.locate(0, nan);
                    },
                    Formats::vst2),
                clockCheck("transport.tempo-zero", 3, "tempo 0",
                           [](ValidatorHost& host, int block, SeededRandom&) {
                               if (block == 0) host.transport.setTempo(0.0);
                           }),
                clockCheck("transport.tempo-negative", 3, "tempo -120",
                           [](ValidatorHost& host, int block, SeededRandom&) {
                               if (block == 0) host.transport.setTempo(-120.0);
                           }),
                clockCheck("transport.tempo-huge", 3, "tempo 1e9, then the largest double",
                           [](ValidatorHost& host, int block, SeededRandom&) {
                               if (block == 0) host.transport.setTempo(1.0e9);
                               if (block == kBlocks / 2) host.transport.setTempo(DBL_MAX);
                           }),
                clockCheck("transport.position-negative", 3, "a song position 1000.25 quarter notes before its start",
                           [](ValidatorHost& host, int block, SeededRandom&) {
                               if (block == 0) host.transport.locate(-4410000, -1000.25);
                           }),
                clockCheck("transport.position-jumps", 3,
                           "the position jumps every block, forwards and backwards, up to 1e12 quarter notes",
                           [](ValidatorHost& host, int, SeededRandom& random) {
                               const double magnitude =
                                   std::pow(10.0, static_cast<double>(random.uniform(-1.0f, 12.0f)));
                               const double ppq = random.uniform(-1.0f, 1.0f) < 0.0f ? -magnitude : magnitude;
                               host.transport.locate(static_cast<std::int64_t>(ppq * kRate / 2.0), ppq);
                           }),
                clockCheck("transport.loop", 3, "a loop from quarter note 4 to 4.5, not aligned to blocks",
                           [](ValidatorHost& host, int block, SeededRandom&) {
                               if (block == 0 || host.transport.ppqPosition() >= 4.5)
                                   host.transport.locate(static_cast<std::int64_t>(4.0 * kRate / 2.0), 4.0);
                           }),
                clockCheck("transport.stopped", 3, "the song stopped, the position standing still",
                           [](ValidatorHost& host, int block, SeededRandom&) {
                               if (block == 0) host.transport.setPlaying(false);
                           }),
            }};
}

}  // namespace vsthost::validate
