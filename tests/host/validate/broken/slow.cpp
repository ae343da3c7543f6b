// Not broken, only slow: opening takes 0.15 s and so does every parameter
// change, as in plug-ins that build tables or reload a convolution. Slow
// progress is no hang.
#include <unistd.h>

#include "support/bare_plugin.h"

namespace {

constexpr useconds_t kSlowCall = 150000;

void slowOpen(bare::Effect&, std::int32_t opcode) {
    if (opcode == effOpen) ::usleep(kSlowCall);
}

void slowChange(bare::Effect&, std::int32_t, float) { ::usleep(kSlowCall); }

}  // namespace

const bare::Behaviour bare::behaviour{.onDispatch = slowOpen, .onSetParameter = slowChange};
