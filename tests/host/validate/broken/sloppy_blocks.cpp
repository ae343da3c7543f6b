// Broken on purpose: every block writes one frame more than it was given,
// also when it was given none.
#include "support/bare_plugin.h"

namespace {

void writeOneMore(bare::Effect&, float**, float** outputs, std::int32_t frames) {
    outputs[0][frames] = 0.0f;
    outputs[1][frames] = 0.0f;
}

}  // namespace

const bare::Behaviour bare::behaviour{.onProcess = writeOneMore};
