// Broken on purpose: its second program blows the output up to NaN, which
// shows only once a host switches programs while processing.
#include <limits>

#include "support/bare_plugin.h"

namespace {

void blowUp(bare::Effect& effect, float**, float** outputs, std::int32_t frames) {
    if (effect.program != 1) return;
    for (std::int32_t i = 0; i < frames; ++i) outputs[0][i] = std::numeric_limits<float>::quiet_NaN();
}

}  // namespace

const bare::Behaviour bare::behaviour{.onProcess = blowUp, .programs = 2};
