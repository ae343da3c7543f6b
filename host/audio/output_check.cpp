#include "output_check.h"

#include <cmath>

namespace vsthost {

void OutputCheck::write(const float* interleaved, std::int64_t frames) {
    const std::int64_t count = frames * channels_;
    for (std::int64_t i = 0; i < count; ++i) {
        const double x = std::fabs(static_cast<double>(interleaved[i]));
        const bool finite = std::isfinite(x);
        if (!finite || x > kAbsurd) {
            if (findings_.unusable++ == 0) findings_.firstUnusable = frame_ + i / channels_;
            if (!finite) ++findings_.nonFinite;
        }
        if (!finite) continue;
        if (x > findings_.peak) findings_.peak = x;
        if (x > 1.0) ++findings_.pastFullScale;
    }
    findings_.samples += count;
    frame_ += frames;
    next_.write(interleaved, frames);
}

}  // namespace vsthost
