// A stereo effect that fails while rendering, by compile definition:
//   FIXTURE_CRASH_IN_PROCESS  a segmentation fault in its fourth block
//   FIXTURE_CRASH_AT_CLOSE    an abort when it is closed, as the C library
//                             aborts on heap damage
//   FIXTURE_THROW_IN_PROCESS  an exception out of its fourth block
//   FIXTURE_NAN_OUTPUT        NaN on the right channel from frame 1000 on
//   FIXTURE_LOUD_OUTPUT       +120 dBFS on every sample from frame 1000 on
#include <csignal>
#include <cstdlib>
#include <limits>
#include <new>

#include "support/bare_plugin.h"

namespace {

constexpr std::int64_t kFrom = 1000;

void onDispatch(bare::Effect&, std::int32_t opcode) {
#if defined(FIXTURE_CRASH_AT_CLOSE)
    if (opcode == effClose) std::abort();
#else
    (void)opcode;
#endif
}

void onProcess(bare::Effect& effect, float**, float** outputs, std::int32_t frames) {
    const std::int64_t start = effect.framesProcessed - frames;
#if defined(FIXTURE_CRASH_IN_PROCESS)
    if (start >= 3 * frames) std::raise(SIGSEGV);
#elif defined(FIXTURE_THROW_IN_PROCESS)
    if (start >= 3 * frames) throw std::bad_alloc();
#endif
    for (std::int32_t i = 0; i < frames; ++i) {
        if (start + i < kFrom) continue;
#if defined(FIXTURE_NAN_OUTPUT)
        outputs[1][i] = std::numeric_limits<float>::quiet_NaN();
#elif defined(FIXTURE_LOUD_OUTPUT)
        outputs[0][i] = outputs[1][i] = 1e6f;
#endif
    }
    (void)outputs;
}

}  // namespace

const bare::Behaviour bare::behaviour{
    .onDispatch = onDispatch, .onProcess = onProcess, .initialValues = {1.0f}, .effectName = "Failing Fixture"};
