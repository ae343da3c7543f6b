// Broken on purpose: its parameter name is far longer than any host buffer
// for it, and it is copied in full.
#include "bare_effect.h"

namespace bare {

void onDispatch(Effect&, std::int32_t) {}

void onProcess(Effect&, float**, std::int32_t) {}

const char* parameterName() {
    return "Gain of the signal on its way from the input to the output, in linear steps from silence to half";
}

}  // namespace bare

BARE_EFFECT_ENTRY
