// A stereo effect that delays its input, reporting the delay as real
// plug-ins do, by compile definition:
//   FIXTURE_LATENCY_AT_OPEN      480 frames, reported from the start
//   FIXTURE_LATENCY_AFTER_BLOCK  480 frames, reported only once it has
//                                processed its first block, without telling
//                                the host
//   FIXTURE_LATENCY_CHANGING     100 frames, and 300 from frame 8192 on,
//                                telling the host through ioChanged
#include <vector>

#include "support/bare_plugin.h"

namespace {

#if defined(FIXTURE_LATENCY_CHANGING)
constexpr std::int32_t kFirstDelay = 100;
constexpr std::int32_t kLaterDelay = 300;
constexpr std::int64_t kChangeAt = 8192;
#else
constexpr std::int32_t kFirstDelay = 480;
constexpr std::int32_t kLaterDelay = 480;
constexpr std::int64_t kChangeAt = 0;
#endif

// Every input sample so far, per channel: a render in a test is short.
std::vector<float> history[2];

void onDispatch(bare::Effect& effect, std::int32_t opcode) {
#if !defined(FIXTURE_LATENCY_AFTER_BLOCK)
    if (opcode == effOpen) effect.record.initialDelay = kFirstDelay;
#else
    (void)effect;
    (void)opcode;
#endif
}

// The block was processed straight through; it comes out delayed.
void onProcess(bare::Effect& effect, float**, float** outputs, std::int32_t frames) {
    const std::int64_t end = effect.framesProcessed;
    const std::int64_t start = end - frames;
    for (int c = 0; c < 2; ++c) {
        for (std::int32_t i = 0; i < frames; ++i) history[c].push_back(outputs[c][i]);
        for (std::int32_t i = 0; i < frames; ++i) {
            const std::int64_t at = start + i;
            const std::int64_t from = at - (at < kChangeAt ? kFirstDelay : kLaterDelay);
            outputs[c][i] = from >= 0 ? history[c][static_cast<std::size_t>(from)] : 0.0f;
        }
    }
    const std::int32_t now = end <= kChangeAt ? kFirstDelay : kLaterDelay;
    if (effect.record.initialDelay != now) {
        effect.record.initialDelay = now;
#if defined(FIXTURE_LATENCY_CHANGING)
        effect.host(&effect.record, audioMasterIOChanged, 0, 0, nullptr, 0.0f);
#endif
    }
}

}  // namespace

const bare::Behaviour bare::behaviour{
    .onDispatch = onDispatch, .onProcess = onProcess, .initialValues = {1.0f}, .effectName = "Delaying Fixture"};
