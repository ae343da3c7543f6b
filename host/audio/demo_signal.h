// A test signal that needs no input file: a bright sawtooth chord and an
// eighth-note bass, A minor, F, C, G, one chord per bar, in stereo.
#pragma once

#include <array>
#include <cstdint>

#include "audio_stream.h"

namespace vsthost {

class DemoSignal : public AudioSource {
public:
    static constexpr double kTempo = 140.0;
    static constexpr double kSampleRate = 44100.0;

    explicit DemoSignal(std::int32_t bars = 8);

    std::int32_t channels() const override { return 2; }
    double sampleRate() const override { return kSampleRate; }
    std::int64_t frames() const override { return length; }
    std::int64_t read(float* interleaved, std::int64_t frames) override;

private:
    struct Oscillator {
        double phase = 0.0;
        double next(double frequency);
    };

    void frame(float& left, float& right);

    std::int64_t length;
    std::int64_t position = 0;
    std::array<Oscillator, 8> chordLeft{};
    std::array<Oscillator, 8> chordRight{};
    Oscillator bass{};
    std::size_t currentBar = static_cast<std::size_t>(-1);
    std::array<double, 16> chordFrequencies{};  // per note: two left, two right
    std::array<double, 2> bassFrequencies{};    // root, octave
};

}  // namespace vsthost
