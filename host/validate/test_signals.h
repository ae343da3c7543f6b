// The signals the validator hands a plug-in, and what it looks for in every
// output that comes back.
#pragma once

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "host/plugin/channel_buffers.h"
#include "seeded_random.h"

namespace vsthost::validate {

// What every output holds before a block: a normal number that arithmetic on
// a signal does not land on exactly, so a sample still holding it was never
// written by the plug-in.
constexpr float kUnwritten = std::bit_cast<float>(std::uint32_t{0x01A5A5A5});

inline bool unwritten(float x) { return std::bit_cast<std::uint32_t>(x) == std::bit_cast<std::uint32_t>(kUnwritten); }

// Noise within +-amplitude on every channel, over the first `frames` frames.
void fillNoise(ChannelBuffers& buffers, SeededRandom& random, float amplitude, std::int32_t frames);
// The same into `channels` buffers of the caller's.
void fillNoise(float* const* buffers, std::int32_t channels, SeededRandom& random, float amplitude,
               std::int32_t frames);

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
    void add(const float* const* buffers, std::int32_t channels, std::int32_t frames);
    // Nothing when every output sample was written; otherwise which were not,
    // e.g. "outputs 2 to 64 (63 of 64) never written".
    std::string unwrittenText() const;
};

}  // namespace vsthost::validate
