// Broken on purpose, the way heap corruption shows: a block of more than
// 8192 frames damages its memory, and the C library notices only in the
// next call, where it prints its complaint and aborts. (The damage itself is
// left out, so that sanitizers see the same as everyone else.)
#include <cstdio>
#include <cstdlib>

#include "support/bare_plugin.h"

namespace {

void damage(bare::Effect& effect, float**, float**, std::int32_t frames) {
    if (effect.scratch != 0) {
        std::fprintf(stderr, "free(): invalid pointer\n");
        std::abort();
    }
    if (frames > 8192) effect.scratch = 1;
}

void noticeLater(bare::Effect& effect, std::int32_t) {
    if (effect.scratch == 0) return;
    std::fprintf(stderr, "free(): invalid pointer\n");
    std::abort();
}

}  // namespace

const bare::Behaviour bare::behaviour{.onDispatch = noticeLater, .onProcess = damage};
