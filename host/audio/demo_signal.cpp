#include "demo_signal.h"

#include <algorithm>
#include <cmath>

namespace vsthost {

namespace {

constexpr double kSamplesPerBeat = DemoSignal::kSampleRate * 60.0 / DemoSignal::kTempo;
constexpr double kSamplesPerBar = 4.0 * kSamplesPerBeat;
constexpr double kSamplesPerEighth = kSamplesPerBeat / 2.0;

struct Chord {
    std::array<int, 4> notes;  // MIDI note numbers
    int bass;
};

constexpr std::array<Chord, 4> kProgression{
    Chord{{57, 60, 64, 69}, 33},  // A minor
    Chord{{57, 60, 65, 69}, 29},  // F
    Chord{{55, 60, 64, 67}, 36},  // C
    Chord{{55, 59, 62, 67}, 31},  // G
};

double noteFrequency(double note) { return 440.0 * std::pow(2.0, (note - 69.0) / 12.0); }

// Smooths the jump of a sawtooth so that its harmonics do not fold back.
double blepCorrection(double phase, double step) {
    if (phase < step) {
        const double t = phase / step;
        return t + t - t * t - 1.0;
    }
    if (phase > 1.0 - step) {
        const double t = (phase - 1.0) / step;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

// Rises in `attack` samples, falls in `release` samples before `length`.
double gate(double t, double length, double attack, double release) {
    return std::clamp(std::min(t / attack, (length - t) / release), 0.0, 1.0);
}

}  // namespace

double DemoSignal::Oscillator::next(double frequency) {
    const double step = frequency / kSampleRate;
    const double value = 2.0 * phase - 1.0 - blepCorrection(phase, step);
    phase += step;
    if (phase >= 1.0) phase -= 1.0;
    return value;
}

DemoSignal::DemoSignal(std::int32_t bars)
    : length(static_cast<std::int64_t>(std::llround(std::max(bars, 0) * kSamplesPerBar))) {}

void DemoSignal::frame(float& left, float& right) {
    const double n = static_cast<double>(position);
    const auto bar = static_cast<std::size_t>(n / kSamplesPerBar);
    const Chord& chord = kProgression[bar % kProgression.size()];
    const double inBar = n - static_cast<double>(bar) * kSamplesPerBar;

    // The chord: each note twice per side, detuned a few cents apart for width.
    if (bar != currentBar) {
        currentBar = bar;
        for (std::size_t v = 0; v < chord.notes.size(); ++v) {
            const double note = chord.notes[v];
            chordFrequencies[4 * v] = noteFrequency(note - 0.07);
            chordFrequencies[4 * v + 1] = noteFrequency(note + 0.03);
            chordFrequencies[4 * v + 2] = noteFrequency(note + 0.07);
            chordFrequencies[4 * v + 3] = noteFrequency(note - 0.03);
        }
        bassFrequencies = {noteFrequency(chord.bass), noteFrequency(chord.bass + 12.0)};
    }
    const double chordLevel = 0.03 * gate(inBar, kSamplesPerBar, 400.0, 800.0);
    double l = 0.0;
    double r = 0.0;
    for (std::size_t v = 0; v < chordLeft.size(); v += 2) {
        l += chordLeft[v].next(chordFrequencies[2 * v]) + chordLeft[v + 1].next(chordFrequencies[2 * v + 1]);
        r += chordRight[v].next(chordFrequencies[2 * v + 2]) + chordRight[v + 1].next(chordFrequencies[2 * v + 3]);
    }
    l *= chordLevel;
    r *= chordLevel;

    // The bass: plucked eighth notes, one octave of the root bouncing.
    const auto eighth = static_cast<std::int64_t>(inBar / kSamplesPerEighth);
    const double inNote = inBar - static_cast<double>(eighth) * kSamplesPerEighth;
    const double pluck = std::exp(-inNote / (0.12 * kSampleRate));
    const double bassLevel = 0.2 * pluck * gate(inNote, kSamplesPerEighth, 60.0, 200.0);
    const double b = bassLevel * bass.next(bassFrequencies[eighth % 2]);

    left = static_cast<float>(l + b);
    right = static_cast<float>(r + b);
}

std::int64_t DemoSignal::read(float* interleaved, std::int64_t frames) {
    const std::int64_t count = std::min(frames, length - position);
    for (std::int64_t i = 0; i < count; ++i) {
        frame(interleaved[2 * i], interleaved[2 * i + 1]);
        ++position;
    }
    return count;
}

}  // namespace vsthost
