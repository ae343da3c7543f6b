// Tempo maps as typed after --tempo-map, then played at a sample rate from a
// start beat. The text is refused with a usage failure or read into a map
// whose conversions stay defined and whose beats never run backwards: later
// samples lie at later beats, later beats at later samples, and the next
// change always lies ahead.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "host/song/tempo_map.h"
#include "host/text/failure.h"

namespace {

void require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

double pick(FuzzedDataProvider& in, const std::vector<double>& usual) {
    if (in.ConsumeBool()) return usual[in.ConsumeIntegralInRange<std::size_t>(0, usual.size() - 1)];
    return in.ConsumeFloatingPoint<double>();
}

constexpr std::int64_t kLastSample = std::int64_t{1} << 50;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const double rate = pick(in, {44100.0, 48000.0, 96000.0, 8000.0, 1.0, 0.0, 1e9});
    const double bpm = pick(in, {120.0, 60.0, 174.0, 1e-3, 999.0, 0.0, -1.0});
    const double startBeat = pick(in, {0.0, 4.0, 0.5, 1e6, -4.0, 1e15});
    std::vector<std::int64_t> samples;
    for (int i = in.ConsumeIntegralInRange(0, 6); i > 0; --i)
        samples.push_back(in.ConsumeIntegralInRange<std::int64_t>(0, kLastSample));
    std::vector<double> beats;
    for (int i = in.ConsumeIntegralInRange(0, 6); i > 0; --i) beats.push_back(pick(in, {0.0, 1.0, 4.5, 1e9, -1.0}));
    const std::string text = in.ConsumeRemainingBytesAsString();

    std::vector<vsthost::TempoChange> changes;
    try {
        changes = vsthost::parseTempoMap(text);
    } catch (const vsthost::Failure& failure) {
        require(failure.kind() == vsthost::FailureKind::usage, "a tempo map refused as another kind of failure");
        return 0;
    }
    require(!changes.empty(), "a tempo map read without changes");
    try {
        const vsthost::TempoMap map(rate, bpm, changes, startBeat);
        // Every change's first sample and the ones beside it, then the rest.
        samples.push_back(0);
        for (std::int64_t s = 0; samples.size() < 64;) {
            const std::int64_t next = map.nextChangeAfter(s);
            require(next > s, "a next change that is not ahead");
            if (next == vsthost::TempoMap::kNever || next > kLastSample) break;
            samples.insert(samples.end(), {next - 1, next, next + 1});
            s = next;
        }
        std::sort(samples.begin(), samples.end());
        // Beats are sums at the scale of the map's own beats: near 1e308 a
        // double is only good to some 1e292, so a step back within that
        // rounding is no fault.
        double scale = std::fabs(startBeat);
        for (const vsthost::TempoChange& change : changes) scale = std::max(scale, std::fabs(change.beat));
        double before = -INFINITY;
        for (const std::int64_t s : samples) {
            const double beat = map.beatAt(s);
            require(std::isfinite(beat), "a beat that is not finite");
            const double rounding = 1e-12 * std::max({scale, std::fabs(beat), std::fabs(before)});
            require(beat >= before - rounding, "beats running backwards");
            require(std::isfinite(map.tempoAt(s)) && map.tempoAt(s) > 0.0, "a tempo not above zero");
            before = beat;
        }
        std::sort(beats.begin(), beats.end());
        double sampleBefore = -INFINITY;
        std::int64_t firstBefore = INT64_MIN;
        for (const double beat : beats) {
            if (!std::isfinite(beat)) continue;
            const double sample = map.sampleAt(beat);
            require(!std::isnan(sample), "a sample position that is NaN");
            require(sample >= sampleBefore, "sample positions running backwards");
            const std::int64_t first = map.firstSampleAt(beat);
            require(first >= firstBefore, "first samples running backwards");
            sampleBefore = sample;
            firstBefore = first;
        }
    } catch (const vsthost::Failure& failure) {
        require(failure.kind() == vsthost::FailureKind::usage, "a tempo map refused as another kind of failure");
    }
    return 0;
}
