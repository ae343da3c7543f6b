// Broken on purpose: a scratch buffer from the heap in every processing call.
#include <cstdlib>

#include "support/bare_plugin.h"

namespace {

void allocate(bare::Effect&, float**, float**, std::int32_t frames) {
    // Stored through a volatile so the compiler cannot drop the pair.
    void* volatile scratch = std::malloc(static_cast<std::size_t>(frames > 0 ? frames : 1) * sizeof(float));
    std::free(scratch);
}

}  // namespace

const bare::Behaviour bare::behaviour{.onProcess = allocate};
