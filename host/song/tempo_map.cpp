#include "tempo_map.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "beat_list.h"
#include "host/text/decimal_number.h"
#include "host/text/excerpt.h"
#include "host/text/failure.h"
#include "transport.h"

namespace vsthost {

namespace {

// Beats typed in decimals land on whole samples at everyday tempi, but the
// sums that find them may come out a hair above; that hair is not a sample.
constexpr double kSampleSnap = 1e-6;

// Past this a stretch is never reached; it also keeps the conversion to a
// whole sample defined.
constexpr double kFarSample = 4.0e18;

void checkTempo(double bpm, double beat) {
    if (!(bpm > 0.0) || !std::isfinite(bpm))
        throw Failure(FailureKind::usage, "tempo " + numberText(bpm) + " BPM at beat " + numberText(beat) +
                                              ": a tempo must be a number above zero");
}

}  // namespace

std::vector<TempoChange> parseTempoMap(std::string_view text) {
    const auto refuse = [&](const std::string& why) {
        return Failure(FailureKind::usage, "--tempo-map '" + excerpt(text) + "': " + why);
    };
    std::string problem;
    const std::vector<BeatEntry> entries = splitBeatList(text, "BEAT:BPM", problem);
    if (!problem.empty()) throw refuse(problem);
    std::vector<TempoChange> changes;
    std::vector<double> beats;
    for (const BeatEntry& entry : entries) {
        const auto bpm = parseDecimal(entry.text);
        if (!bpm || !std::isfinite(entry.beat))
            throw refuse("'" + numberText(entry.beat) + ":" + excerpt(entry.text) +
                         "' is not BEAT:BPM with two numbers");
        if (!(*bpm > 0.0))
            throw refuse("tempo " + numberText(*bpm) + " at beat " + numberText(entry.beat) +
                         ": a tempo must be above zero");
        changes.push_back({entry.beat, *bpm});
        beats.push_back(entry.beat);
    }
    if (const std::string order = beatOrderProblem(beats, BeatOrder::rising); !order.empty()) throw refuse(order);
    return changes;
}

TempoMap::TempoMap(double sampleRate, double bpm, const std::vector<TempoChange>& changes, double startBeat)
    : sampleRate_(sampleRate) {
    if (!(sampleRate > 0.0) || !std::isfinite(sampleRate))
        throw Failure(FailureKind::usage, "sample rate " + numberText(sampleRate) + " Hz: must be above zero");
    if (!std::isfinite(startBeat)) throw Failure(FailureKind::usage, "the start beat must be a finite number");
    checkTempo(bpm, startBeat);
    std::vector<double> beats;
    for (const TempoChange& change : changes) beats.push_back(change.beat);
    if (const std::string problem = beatBeforeStartProblem(beats, startBeat); !problem.empty())
        throw Failure(FailureKind::usage, "--tempo-map: the change at " + problem);
    stretches_.push_back({startBeat, 0.0, 0, startBeat, bpm, quarterNotesPerSample(sampleRate, bpm)});
    double previousBeat = -std::numeric_limits<double>::infinity();
    for (const TempoChange& change : changes) {
        checkTempo(change.bpm, change.beat);
        if (!std::isfinite(change.beat))
            throw Failure(FailureKind::usage, "tempo change at a beat that is not a finite number");
        if (!(change.beat > previousBeat))
            throw Failure(FailureKind::usage, "tempo change at beat " + numberText(change.beat) + " comes after beat " +
                                                  numberText(previousBeat) + "; beats must rise");
        previousBeat = change.beat;
        Stretch& last = stretches_.back();
        if (change.beat <= startBeat) {
            last.bpm = change.bpm;
            last.beatsPerSample = quarterNotesPerSample(sampleRate, change.bpm);
            continue;
        }
        Stretch next{};
        next.beat = change.beat;
        next.bpm = change.bpm;
        next.beatsPerSample = quarterNotesPerSample(sampleRate, change.bpm);
        next.exactSample = last.exactSample + (change.beat - last.beat) * (sampleRate * 60.0 / last.bpm);
        if (next.exactSample >= kFarSample || last.firstSample == kNever) {
            next.firstSample = kNever;
            next.firstBeat = change.beat;
        } else {
            next.firstSample = static_cast<std::int64_t>(std::ceil(next.exactSample - kSampleSnap));
            // The part of a sample between the change and the first whole
            // sample after it already runs at the new tempo.
            next.firstBeat =
                change.beat + (static_cast<double>(next.firstSample) - next.exactSample) * next.beatsPerSample;
        }
        // Two changes within one sample both stay: the later one is what that
        // sample hears, and beats between them still run at the earlier's tempo.
        stretches_.push_back(next);
    }
}

const TempoMap::Stretch& TempoMap::stretchAtSample(std::int64_t sample) const {
    const auto after = std::upper_bound(stretches_.begin() + 1, stretches_.end(), sample,
                                        [](std::int64_t s, const Stretch& stretch) { return s < stretch.firstSample; });
    return *(after - 1);
}

const TempoMap::Stretch& TempoMap::stretchAtBeat(double beat) const {
    const auto after = std::upper_bound(stretches_.begin() + 1, stretches_.end(), beat,
                                        [](double b, const Stretch& stretch) { return b < stretch.beat; });
    return *(after - 1);
}

double TempoMap::beatAt(std::int64_t sample) const {
    const Stretch& s = stretchAtSample(sample);
    return s.firstBeat + static_cast<double>(sample - s.firstSample) * s.beatsPerSample;
}

double TempoMap::tempoAt(std::int64_t sample) const { return stretchAtSample(sample).bpm; }

double TempoMap::sampleAt(double beat) const {
    const Stretch& s = stretchAtBeat(beat);
    // At a tempo so slow that a beat outlasts every sample, the stretch's own
    // beat still lies where it starts (not at 0 times infinity).
    if (beat == s.beat) return s.exactSample;
    return s.exactSample + (beat - s.beat) * (sampleRate_ * 60.0 / s.bpm);
}

std::int64_t TempoMap::firstSampleAt(double beat) const {
    const double exact = sampleAt(beat);
    if (exact >= kFarSample) return kNever;
    // A beat that far before sample 0 (a start far into the song) is long
    // past; the conversion would be undefined there.
    if (exact <= -kFarSample) return -kNever;
    return static_cast<std::int64_t>(std::ceil(exact - kSampleSnap));
}

std::int64_t TempoMap::nextChangeAfter(std::int64_t sample) const {
    const auto after = std::upper_bound(stretches_.begin(), stretches_.end(), sample,
                                        [](std::int64_t s, const Stretch& stretch) { return s < stretch.firstSample; });
    return after == stretches_.end() ? kNever : after->firstSample;
}

bool TempoMap::changesAt(std::int64_t sample) const { return nextChangeAfter(sample - 1) == sample; }

}  // namespace vsthost
