// Broken on purpose, the way a library replaced or removed mid-run shows:
// opened once, it deletes its own file, so every later load fails. (Tests
// run it from a copy.)
#include <dlfcn.h>
#include <unistd.h>

#include "support/bare_plugin.h"

namespace {

void vanishOnOpen(bare::Effect&, std::int32_t opcode) {
    if (opcode != effOpen) return;
    Dl_info self{};
    if (::dladdr(reinterpret_cast<void*>(&vanishOnOpen), &self) != 0 && self.dli_fname != nullptr)
        ::unlink(self.dli_fname);
}

}  // namespace

const bare::Behaviour bare::behaviour{.onDispatch = vanishOnOpen};
