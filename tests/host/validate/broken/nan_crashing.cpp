// Broken on purpose, at the edge: a parameter value of NaN, which no host
// should send, crashes it on the spot.
#include "support/bare_plugin.h"

namespace {

void crashOnNan(bare::Effect&, std::int32_t, float value) {
    if (value == value) return;
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
}

}  // namespace

const bare::Behaviour bare::behaviour{.onSetParameter = crashOnNan};
