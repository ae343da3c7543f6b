// The song's tempo over time: a starting tempo and steps at given beats.
// Converts between samples and quarter notes. The position of a sample is
// the integral of the tempo up to it, evaluated per stretch of constant tempo
// from the first sample of that stretch, in the same shape the transport
// uses, so the two agree to the bit.
#pragma once

#include <cstdint>
#include <limits>
#include <string_view>
#include <vector>

namespace vsthost {

struct TempoChange {
    double beat;  // quarter notes from the start of the song
    double bpm;
};

// "BEAT:BPM,BEAT:BPM,...": beats in rising order, tempos above zero. Throws
// Failure (usage) naming what is wrong. Where the song starts, and so which
// beats come too early, the TempoMap checks.
std::vector<TempoChange> parseTempoMap(std::string_view text);

class TempoMap {
public:
    static constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();

    // Sample 0 lies at `startBeat`. `bpm` holds there unless a change at or
    // before the start replaces it. Throws Failure (usage) for a tempo that
    // is not above zero, beats that do not rise, or a change before the song
    // starts (at `startBeat` when that is negative, else at beat 0).
    TempoMap(double sampleRate, double bpm, const std::vector<TempoChange>& changes = {}, double startBeat = 0.0);

    double sampleRate() const { return sampleRate_; }

    // Quarter notes at the start of a sample, and the tempo in force there.
    double beatAt(std::int64_t sample) const;
    double tempoAt(std::int64_t sample) const;

    // Where a beat falls, in (fractional) samples.
    double sampleAt(double beat) const;
    // The first whole sample at or after a beat: where something placed on
    // that beat takes effect. kNever for a beat too far ahead to be reached,
    // -kNever for one that far before sample 0.
    std::int64_t firstSampleAt(double beat) const;

    // The first sample after `sample` at which the tempo changes, or kNever.
    std::int64_t nextChangeAfter(std::int64_t sample) const;
    // True when a new tempo starts at this sample (sample 0 included).
    bool changesAt(std::int64_t sample) const;

private:
    struct Stretch {
        double beat;               // where the tempo was asked to change
        double exactSample;        // where that beat falls, integrating the tempi before
        std::int64_t firstSample;  // first whole sample under this tempo
        double firstBeat;          // position of firstSample
        double bpm;
        double beatsPerSample;
    };

    const Stretch& stretchAtSample(std::int64_t sample) const;
    const Stretch& stretchAtBeat(double beat) const;

    double sampleRate_;
    std::vector<Stretch> stretches_;
};

}  // namespace vsthost
