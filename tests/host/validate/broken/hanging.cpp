// Broken on purpose: at 192 kHz its processing call never returns, as if it
// waited for a lock nobody will release.
#include <unistd.h>

#include "support/bare_plugin.h"

namespace {

void hangAtHighRates(bare::Effect& effect, float**, float**, std::int32_t) {
    if (effect.sampleRate < 192000.0f) return;
    for (;;) ::pause();
}

}  // namespace

const bare::Behaviour bare::behaviour{.onProcess = hangAtHighRates};
