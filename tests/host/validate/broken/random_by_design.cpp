// Not broken: noise added from a generator every instance seeds afresh, as
// noise generators and granular effects do. Two instances never agree, and
// that is no fault.
#include <chrono>

#include "support/bare_plugin.h"

namespace {

void addNoise(bare::Effect& effect, float**, float** outputs, std::int32_t frames) {
    if (effect.scratch == 0)
        effect.scratch = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) |
                         reinterpret_cast<std::uintptr_t>(&effect) | 1;
    for (std::int32_t i = 0; i < frames; ++i) {
        effect.scratch ^= effect.scratch << 13;
        effect.scratch ^= effect.scratch >> 7;
        effect.scratch ^= effect.scratch << 17;
        const float noise = static_cast<float>(effect.scratch >> 40) / 16777216.0f * 0.01f;
        outputs[0][i] += noise;
        outputs[1][i] -= noise;
    }
}

}  // namespace

const bare::Behaviour bare::behaviour{.onProcess = addNoise};
