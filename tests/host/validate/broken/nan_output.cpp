// Broken on purpose: after a little over 20000 frames its output turns NaN
// for good, as a filter that has blown up.
#include <limits>

#include "support/bare_plugin.h"

namespace {

void turnNan(bare::Effect& effect, float**, float** outputs, std::int32_t frames) {
    constexpr std::int64_t kHealthyFrames = 20000;
    for (std::int32_t i = 0; i < frames; ++i) {
        if (effect.framesProcessed - frames + i < kHealthyFrames) continue;
        outputs[0][i] = std::numeric_limits<float>::quiet_NaN();
        outputs[1][i] = std::numeric_limits<float>::quiet_NaN();
    }
}

}  // namespace

const bare::Behaviour bare::behaviour{.onProcess = turnNan};
