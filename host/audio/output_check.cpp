#include "output_check.h"

#include <algorithm>
#include <cmath>

namespace vsthost {

void OutputCheck::write(const float* interleaved, std::int64_t frames) {
    const std::int64_t count = frames * channels_;
    const float* passed = interleaved;
    for (std::int64_t i = 0; i < count; ++i) {
        const float x = interleaved[i];
        if (!UnusableSamples::usable(x)) {
            findings_.unusable.add(x, frame_ + i / channels_);
            if (replace_) {
                if (passed == interleaved) {
                    mended_.assign(interleaved, interleaved + count);
                    passed = mended_.data();
                }
                mended_[static_cast<std::size_t>(i)] = std::isnan(x) ? 0.0f : std::copysign(1.0f, x);
            }
        }
        if (!std::isfinite(x)) continue;
        const double magnitude = std::fabs(static_cast<double>(x));
        findings_.peak = std::max(findings_.peak, magnitude);
        if (magnitude > 1.0) ++findings_.pastFullScale;
    }
    findings_.samples += count;
    frame_ += frames;
    next_.write(passed, frames);
}

}  // namespace vsthost
