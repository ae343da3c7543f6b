// Broken on purpose, mildly: a fade-in at the start of every block, so that
// how the host cuts the audio into blocks changes what comes out.
#include "support/bare_plugin.h"

namespace {

void fadeIn(bare::Effect&, float**, float** outputs, std::int32_t frames) {
    constexpr std::int32_t kRamp = 8;
    for (std::int32_t i = 0; i < frames && i < kRamp; ++i) {
        const float g = static_cast<float>(i + 1) / static_cast<float>(kRamp + 1);
        outputs[0][i] *= g;
        outputs[1][i] *= g;
    }
}

}  // namespace

const bare::Behaviour bare::behaviour{.onProcess = fadeIn};
