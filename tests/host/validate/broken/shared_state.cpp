// Broken on purpose: a smoothing filter whose memory is shared by every
// instance in the process instead of belonging to one.
#include "support/bare_plugin.h"

namespace {

float memory[2] = {0.0f, 0.0f};

void smooth(bare::Effect&, float**, float** outputs, std::int32_t frames) {
    for (std::int32_t c = 0; c < 2; ++c)
        for (std::int32_t i = 0; i < frames; ++i) {
            memory[c] = memory[c] + 0.25f * (outputs[c][i] - memory[c]);
            outputs[c][i] = memory[c];
        }
}

}  // namespace

const bare::Behaviour bare::behaviour{.onProcess = smooth};
