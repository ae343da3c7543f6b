// Audio handed to and taken from a plug-in: one buffer per channel and the
// array of channel pointers the record's process entries expect.
#pragma once

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "seeded_random.h"

namespace vsthost::validate {

// What every output holds before a block: a normal number that arithmetic on
// a signal does not land on exactly, so a sample still holding it was never
// written by the plug-in.
constexpr float kUnwritten = std::bit_cast<float>(std::uint32_t{0x01A5A5A5});

inline bool unwritten(float x) { return std::bit_cast<std::uint32_t>(x) == std::bit_cast<std::uint32_t>(kUnwritten); }

class ChannelBuffers {
public:
    // A plug-in without channels on one side still gets a valid array with
    // one silent buffer behind it, as hosts give.
    ChannelBuffers(std::int32_t channels, std::int32_t frames);
    // A copy has its own channel array, pointing at its own samples.
    ChannelBuffers(const ChannelBuffers& other);
    ChannelBuffers& operator=(const ChannelBuffers&) = delete;

    float** pointers() { return pointers_.data(); }
    float* channel(std::int32_t c) { return data[static_cast<std::size_t>(c)].data(); }
    const float* channel(std::int32_t c) const { return data[static_cast<std::size_t>(c)].data(); }
    std::int32_t channels() const { return channels_; }
    std::int32_t frames() const { return frames_; }

    void fill(float value);
    void fillNoise(SeededRandom& random, float amplitude, std::int32_t frames);
    void fillSine(double frequency, double sampleRate, float amplitude, std::int64_t startFrame, std::int32_t frames);

private:
    std::int32_t channels_;
    std::int32_t frames_;
    std::vector<std::vector<float>> data;
    std::vector<float*> pointers_;
};

// What must hold of every output: finite, no subnormals, within a bound,
// and written. Samples never written count only as such.
struct SignalScan {
    std::int64_t frames = 0;
    std::int64_t nonFinite = 0;
    std::int64_t subnormal = 0;
    std::int64_t firstNonFinite = -1;  // frame, counted over everything scanned
    float peak = 0.0f;
    std::vector<std::int64_t> unwrittenPerChannel;

    void add(const ChannelBuffers& buffers, std::int32_t frames);
    // Nothing when every output sample was written; otherwise which were not,
    // e.g. "outputs 2 to 64 (63 of 64) never written".
    std::string unwrittenText() const;
};

}  // namespace vsthost::validate
