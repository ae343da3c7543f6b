// A stereo effect with a side-chain: each output is its main input plus the
// sum of the side-chain inputs, so what reached which input can be heard.
// By compile definition:
//   FIXTURE_SIDECHAIN_NAMED     three inputs, the first named "Sidechain" in
//                               its pin properties, the other two the main pair
//   FIXTURE_SIDECHAIN_INFERRED  four inputs, no pin properties: the last two
//                               are the side-chain
#include <cstdio>

#include "support/bare_plugin.h"

namespace {

#if defined(FIXTURE_SIDECHAIN_NAMED)
constexpr std::int32_t kInputs = 3;
constexpr bool kSide[kInputs] = {true, false, false};
#else
constexpr std::int32_t kInputs = 4;
constexpr bool kSide[kInputs] = {false, false, true, true};
#endif

bool inputProperties(std::int32_t index, VstPinProperties& properties) {
#if defined(FIXTURE_SIDECHAIN_NAMED)
    std::snprintf(properties.label, sizeof properties.label, "%s", kSide[index] ? "Sidechain" : "Input");
    properties.flags = kVstPinIsActive;
    return true;
#else
    (void)index;
    (void)properties;
    return false;
#endif
}

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
                                      .inputProperties = inputProperties,
                                      .effectName = "Side-chain Fixture"};
