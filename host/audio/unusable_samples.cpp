#include "unusable_samples.h"

#include "host/text/clock_time.h"

namespace vsthost {

void UnusableSamples::add(float x, std::int64_t frame) {
    if (count++ == 0) firstFrame = frame;
    if (std::isnan(x))
        ++notANumber;
    else if (std::isinf(x))
        ++infinite;
}

std::string unusableText(const UnusableSamples& found, std::int64_t samples, double sampleRate) {
    const std::int64_t nonFinite = found.notANumber + found.infinite;
    std::string what = std::to_string(found.count) + " of its " + std::to_string(samples) + " samples ";
    if (nonFinite == found.count)
        what += "are not numbers or infinite";
    else if (nonFinite == 0)
        what += "are louder than +100 dBFS";
    else
        what += "are not numbers, infinite or louder than +100 dBFS";
    return what + ", the first at " + clockTime(static_cast<double>(found.firstFrame) / sampleRate, 3);
}

}  // namespace vsthost
