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
    unwrittenPerChannel.resize(static_cast<std::size_t>(std::max<std::int32_t>(buffers.channels(), 0)));
    for (std::int32_t c = 0; c < buffers.channels(); ++c) {
        const float* samples = buffers.channel(c);
        for (std::int32_t i = 0; i < count; ++i) {
            const float x = samples[i];
            if (unwritten(x)) {
                ++unwrittenPerChannel[static_cast<std::size_t>(c)];
                continue;
            }
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

namespace vsthost::validate {

std::string SignalScan::unwrittenText() const {
    // Runs of channels, counted from 1 as users number them.
    std::string never;
    std::string partly;
    int neverCount = 0;
    const auto channels = static_cast<std::int64_t>(unwrittenPerChannel.size());
    for (std::int64_t c = 0; c < channels;) {
        const std::int64_t n = unwrittenPerChannel[static_cast<std::size_t>(c)];
        if (n == 0) {
            ++c;
            continue;
        }
        if (n < frames) {
            partly += (partly.empty() ? "" : ", ") + std::string("output ") + std::to_string(c + 1) + " left " +
                      std::to_string(n) + " of " + std::to_string(frames) + " samples unwritten";
            ++c;
            continue;
        }
        std::int64_t last = c;
        while (last + 1 < channels && unwrittenPerChannel[static_cast<std::size_t>(last + 1)] == frames) ++last;
        never += (never.empty() ? "" : ", ") + std::to_string(c + 1);
        if (last > c) never += " to " + std::to_string(last + 1);
        neverCount += static_cast<int>(last - c + 1);
        c = last + 1;
    }
    std::string text;
    if (neverCount > 0)
        text = std::string(neverCount == 1 ? "output " : "outputs ") + never + " (" + std::to_string(neverCount) +
               " of " + std::to_string(channels) + ") never written";
    if (!partly.empty()) text += (text.empty() ? "" : "; ") + partly;
    return text;
}

}  // namespace vsthost::validate
