// Broken on purpose: asked for its vendor, it writes through a null pointer.
#include "bare_effect.h"

namespace bare {

void onDispatch(Effect&, std::int32_t opcode) {
    if (opcode != effGetVendorString) return;
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
}

void onProcess(Effect&, float**, std::int32_t) {}

const char* parameterName() { return "Gain"; }

}  // namespace bare

BARE_EFFECT_ENTRY
