#include "test_signals.h"

#include <algorithm>
#include <cmath>

#include "host/text/counted.h"

namespace vsthost::validate {

void fillNoise(ChannelBuffers& buffers, SeededRandom& random, float amplitude, std::int32_t frames) {
    fillNoise(buffers.pointers(), buffers.channels(), random, amplitude, frames);
}

void fillNoise(float* const* buffers, std::int32_t channels, SeededRandom& random, float amplitude,
               std::int32_t frames) {
    for (std::int32_t c = 0; c < channels; ++c)
        for (std::int32_t i = 0; i < frames; ++i) buffers[c][i] = random.uniform(-amplitude, amplitude);
}

void SignalScan::add(const ChannelBuffers& buffers, std::int32_t count) {
    std::vector<const float*> channels;
    for (std::int32_t c = 0; c < buffers.channels(); ++c) channels.push_back(buffers.channel(c));
    add(channels.data(), buffers.channels(), count);
}

void SignalScan::add(const float* const* buffers, std::int32_t channels, std::int32_t count) {
    unwrittenPerChannel.resize(static_cast<std::size_t>(std::max<std::int32_t>(channels, 0)));
    for (std::int32_t c = 0; c < channels; ++c) {
        const float* samples = buffers[c];
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
                      std::to_string(n) + " of " + counted(frames, "sample") + " unwritten";
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
