#include "channel_buffers.h"

#include <algorithm>
#include <cmath>

namespace vsthost::validate {

namespace {

// Room behind every buffer, so that a plug-in that writes a little too far
// corrupts nothing of the validator's (the grid checks report it).
constexpr std::int32_t kSlack = 64;

}  // namespace

ChannelBuffers::ChannelBuffers(std::int32_t channels, std::int32_t frames)
    : channels_(channels),
      frames_(frames),
      data(static_cast<std::size_t>(std::max(channels, 1)),
           std::vector<float>(static_cast<std::size_t>(std::max(frames, 1) + kSlack))) {
    for (auto& buffer : data) pointers_.push_back(buffer.data());
}

ChannelBuffers::ChannelBuffers(const ChannelBuffers& other)
    : channels_(other.channels_), frames_(other.frames_), data(other.data) {
    for (auto& buffer : data) pointers_.push_back(buffer.data());
}

void ChannelBuffers::fill(float value) {
    for (auto& buffer : data) std::fill(buffer.begin(), buffer.end(), value);
}

void ChannelBuffers::fillNoise(SeededRandom& random, float amplitude, std::int32_t frames) {
    for (std::int32_t c = 0; c < channels_; ++c)
        for (std::int32_t i = 0; i < frames; ++i) channel(c)[i] = random.uniform(-amplitude, amplitude);
}

void ChannelBuffers::fillSine(double frequency, double sampleRate, float amplitude, std::int64_t startFrame,
                              std::int32_t frames) {
    constexpr double kTwoPi = 6.283185307179586;
    for (std::int32_t i = 0; i < frames; ++i) {
        const double phase = std::fmod(static_cast<double>(startFrame + i) * frequency / sampleRate, 1.0);
        const float value = amplitude * static_cast<float>(std::sin(kTwoPi * phase));
        for (std::int32_t c = 0; c < channels_; ++c) channel(c)[i] = value;
    }
}

void SignalScan::add(const ChannelBuffers& buffers, std::int32_t count) {
    for (std::int32_t c = 0; c < buffers.channels(); ++c) {
        const float* samples = buffers.channel(c);
        for (std::int32_t i = 0; i < count; ++i) {
            const float x = samples[i];
            switch (std::fpclassify(x)) {
                case FP_NAN:
                case FP_INFINITE:
                    if (nonFinite++ == 0) firstNonFinite = frames + i;
                    break;
                case FP_SUBNORMAL: ++subnormal; break;
                default: peak = std::max(peak, std::fabs(x));
            }
        }
    }
    frames += count;
}

}  // namespace vsthost::validate
