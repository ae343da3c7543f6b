// Broken on purpose: its first processing call never returns, whatever the
// rate or block, so a validation is certain to be inside that call when its
// overall time limit runs out, however fast the machine.
#include <unistd.h>

#include "support/bare_plugin.h"

namespace {

void hangAlways(bare::Effect&, float**, float**, std::int32_t) {
    for (;;) ::pause();
}

}  // namespace

const bare::Behaviour bare::behaviour{.onProcess = hangAlways};
