// Broken on purpose: at 192 kHz its processing call never returns, as if it
// waited for a lock nobody will release.
#include <unistd.h>

#include "bare_effect.h"

namespace bare {

void onDispatch(Effect&, std::int32_t) {}

void onProcess(Effect& effect, float**, std::int32_t) {
    if (effect.sampleRate < 192000.0f) return;
    for (;;) ::pause();
}

const char* parameterName() { return "Gain"; }

}  // namespace bare

BARE_EFFECT_ENTRY
