// Broken on purpose: asked for its vendor, it writes through a null pointer.
#include "support/bare_plugin.h"

namespace {

void crashOnVendor(bare::Effect&, std::int32_t opcode) {
    if (opcode != effGetVendorString) return;
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
}

}  // namespace

const bare::Behaviour bare::behaviour{.onDispatch = crashOnVendor};
