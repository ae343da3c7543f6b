// A stereo effect with a side-chain: each output is its main input plus the
// sum of the side-chain inputs, so what reached which input can be heard.
// By compile definition, the inputs past the two outputs are the side-chain:
//   FIXTURE_SIDECHAIN_ONE   three inputs, one side-chain
//   FIXTURE_SIDECHAIN_TWO   four inputs, two side-chain
#include "support/bare_plugin.h"

namespace {

#if defined(FIXTURE_SIDECHAIN_ONE)
constexpr std::int32_t kInputs = 3;
constexpr bool kSide[kInputs] = {false, false, true};
#else
constexpr std::int32_t kInputs = 4;
constexpr bool kSide[kInputs] = {false, false, true, true};
#endif

void onProcess(bare::Effect&, float** inputs, float** outputs, std::int32_t frames) {
    for (std::int32_t i = 0; i < frames; ++i) {
        float side = 0.0f;
        float main[2] = {};
        int next = 0;
        for (std::int32_t c = 0; c < kInputs; ++c) {
            if (kSide[c])
                side += inputs[c][i];
            else
                main[next++] = inputs[c][i];
        }
        for (int c = 0; c < 2; ++c) outputs[c][i] = main[c] + side;
    }
}

}  // namespace

const bare::Behaviour bare::behaviour{.onProcess = onProcess,
                                      .inputs = kInputs,
                                      .outputs = 2,
                                      .initialValues = {1.0f},
                                      .effectName = "Side-chain Fixture"};
