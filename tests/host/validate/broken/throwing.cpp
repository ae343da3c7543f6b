// Broken on purpose: asked for its VST version, it throws an exception out of
// the dispatcher into the host. It also chatters, in colour, whenever it is
// opened, as many plug-ins do.
#include <cstdio>
#include <stdexcept>

#include "support/bare_plugin.h"

namespace {

void throwOnVersion(bare::Effect&, std::int32_t opcode) {
    if (opcode == effOpen) std::fprintf(stderr, "\033[33mbare: opened\033[0m\n");
    if (opcode == effGetVstVersion) throw std::runtime_error("version not decided yet");
}

}  // namespace

const bare::Behaviour bare::behaviour{.onDispatch = throwOnVersion};
