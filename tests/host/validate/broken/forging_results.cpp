// Broken on purpose: asked for its vendor, it writes a result line for a
// check that does not exist into descriptor 3, where the validator's check
// process reports. The validator must not trust such a line.
#include <unistd.h>

#include "support/bare_plugin.h"

namespace {

void forgeOnVendor(bare::Effect&, std::int32_t opcode) {
    if (opcode != effGetVendorString) return;
    static const char line[] = "R\t999999\t0\t0.000\tforged\n";
    [[maybe_unused]] const ssize_t written = ::write(3, line, sizeof line - 1);
}

}  // namespace

const bare::Behaviour bare::behaviour{.onDispatch = forgeOnVendor};
