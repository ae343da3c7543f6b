// A gain-like effect whose parameters show their values in several styles,
// for the host's parameter search; FIXTURE_INPUTS and FIXTURE_OUTPUTS set
// its channels. Parameters:
//   0 Gain   x squared as "-6.0 dB", rounded, "-inf dB" at 0
//   1 Mode   "Sine", "Square", "Saw" in thirds
//   2 Time   (1 - x) * 1000 truncated, falling: "250 ms"
//   3 Ratio  "1:N" for N = 1 + x * 7 truncated (a number the display cannot read), labelled "°C"
//   4 Switch "off" below 0.5, "on" from there
#include <cmath>
#include <cstdio>

#include "support/bare_plugin.h"

namespace {

const char* const kNames[] = {"Gain", "Mode", "Time", "Ratio", "Switch"};
const char* const kLabels[] = {"dB", "", "ms",
                               "\xC2\xB0"
                               "C",
                               ""};  // the ratio in degrees: a label of two bytes per character

void display(int index, float x, char* text) {
    switch (index) {
        case 0:
            if (x <= 0.0f)
                std::snprintf(text, 64, "-inf");
            else
                std::snprintf(text, 64, "%.1f", 20.0 * std::log10(static_cast<double>(x) * x));
            break;
        case 1: std::snprintf(text, 64, "%s", x < 1.0f / 3.0f ? "Sine" : x < 2.0f / 3.0f ? "Square" : "Saw"); break;
        case 2: std::snprintf(text, 64, "%d", static_cast<int>((1.0f - x) * 1000.0f)); break;
        case 3: std::snprintf(text, 64, "1:%d", 1 + static_cast<int>(x * 7.0f)); break;
        default: std::snprintf(text, 64, "%s", x < 0.5f ? "off" : "on"); break;
    }
}

void parameterText(std::int32_t opcode, std::int32_t index, float value, char* text) {
    if (opcode == effGetParamName)
        std::snprintf(text, 9, "%s", kNames[index]);
    else if (opcode == effGetParamLabel)
        std::snprintf(text, 9, "%s", kLabels[index]);
    else
        display(index, value, text);
}

// Gain by the first parameter, squared.
float squaredGain(const float* values) { return values[0] * values[0]; }

}  // namespace

const bare::Behaviour bare::behaviour{.anyParameterValue = true,
                                      .inputs = FIXTURE_INPUTS,
                                      .outputs = FIXTURE_OUTPUTS,
                                      .parameters = 5,
                                      .initialValues = {1.0f, 0.0f, 0.5f, 0.0f, 0.0f},
                                      .gainOf = squaredGain,
                                      .parameterText = parameterText,
                                      .effectName = "Display Fixture",
                                      .vendor = "Tests",
                                      .uniqueId = fourCharCode('D', 'f', 'i', 'x')};
