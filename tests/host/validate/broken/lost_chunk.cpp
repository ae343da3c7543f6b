// Broken on purpose: it keeps its state in a chunk, but restoring a chunk
// restores nothing.
#include <cstdio>

#include "support/bare_plugin.h"

namespace {

// The value itself as display, so that a lost value shows in it too.
void showValue(std::int32_t opcode, std::int32_t, float value, char* text) {
    if (opcode == effGetParamDisplay)
        std::snprintf(text, 9, "%.5f", static_cast<double>(value));
    else
        std::snprintf(text, 9, "%s", opcode == effGetParamName ? "Gain" : "");
}

}  // namespace

const bare::Behaviour bare::behaviour{.parameterText = showValue, .chunk = bare::Offer::broken};
