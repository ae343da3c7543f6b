// Small stand-in plug-ins for the host's tests, one per compile definition:
//   FIXTURE_NO_ENTRY     exports no entry point at all
//   FIXTURE_NULL         answers its entry point with null
//   FIXTURE_BAD_MAGIC    answers a record whose magic is wrong
//   FIXTURE_DISPLAYS     a gain-like effect with displays in several styles;
//                        FIXTURE_INPUTS and FIXTURE_OUTPUTS set its channels
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "frame/effect_record.h"
#include "frame/opcodes.h"

#define FIXTURE_EXPORT extern "C" __attribute__((visibility("default")))

#if defined(FIXTURE_NO_ENTRY)

FIXTURE_EXPORT int fixtureWithoutEntry() { return 0; }

#elif defined(FIXTURE_NULL)

FIXTURE_EXPORT AEffect* VSTPluginMain(audioMasterCallback) { return nullptr; }

#elif defined(FIXTURE_BAD_MAGIC)

FIXTURE_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    static AEffect record{};
    record.magic = fourCharCode('N', 'o', 'p', 'e');
    return &record;
}

#elif defined(FIXTURE_DISPLAYS)

namespace {

// Parameters, each showing its value in another style:
//   0 Gain   x squared as "-6.0 dB", rounded, "-inf dB" at 0
//   1 Mode   "Sine", "Square", "Saw" in thirds
//   2 Time   (1 - x) * 1000 truncated, falling: "250 ms"
//   3 Ratio  "1:N" for N = 1 + x * 7 truncated (a number the display cannot read)
//   4 Switch "off" below 0.5, "on" from there
constexpr int kParams = 5;
const char* const kNames[kParams] = {"Gain", "Mode", "Time", "Ratio", "Switch"};
const char* const kLabels[kParams] = {"dB", "", "ms", "", ""};

struct Fixture {
    AEffect record{};
    float values[kParams] = {1.0f, 0.0f, 0.5f, 0.0f, 0.0f};
};

Fixture* fixtureOf(AEffect* e) { return static_cast<Fixture*>(e->object); }

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

std::intptr_t dispatcher(AEffect* e, std::int32_t opcode, std::int32_t index, std::intptr_t, void* ptr, float) {
    Fixture* f = fixtureOf(e);
    const bool valid = index >= 0 && index < kParams;
    switch (opcode) {
        case effClose: delete f; return 1;
        case effGetParamName:
            if (valid) std::snprintf(static_cast<char*>(ptr), 9, "%s", kNames[index]);
            return 0;
        case effGetParamLabel:
            if (valid) std::snprintf(static_cast<char*>(ptr), 9, "%s", kLabels[index]);
            return 0;
        case effGetParamDisplay:
            if (valid) display(index, f->values[index], static_cast<char*>(ptr));
            return 0;
        case effGetEffectName:
        case effGetProductString: std::snprintf(static_cast<char*>(ptr), 25, "Display Fixture"); return 1;
        case effGetVendorString: std::snprintf(static_cast<char*>(ptr), 25, "Tests"); return 1;
        case effGetVstVersion: return 2400;
        default: return 0;
    }
}

void setParameter(AEffect* e, std::int32_t index, float value) {
    if (index >= 0 && index < kParams) fixtureOf(e)->values[index] = value;
}

float getParameter(AEffect* e, std::int32_t index) {
    return index >= 0 && index < kParams ? fixtureOf(e)->values[index] : 0.0f;
}

// Gain by the first parameter, first input to every output.
void processReplacing(AEffect* e, float** inputs, float** outputs, std::int32_t frames) {
    const float gain = fixtureOf(e)->values[0] * fixtureOf(e)->values[0];
    for (std::int32_t c = 0; c < e->numOutputs; ++c)
        for (std::int32_t i = 0; i < frames; ++i) outputs[c][i] = inputs[c % e->numInputs][i] * gain;
}

}  // namespace

FIXTURE_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    if (host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    Fixture* f = new (std::nothrow) Fixture;
    if (f == nullptr) return nullptr;
    AEffect& r = f->record;
    r.magic = kEffectMagic;
    r.dispatcher = dispatcher;
    r.setParameter = setParameter;
    r.getParameter = getParameter;
    r.processReplacing = processReplacing;
    r.numPrograms = 1;
    r.numParams = kParams;
    r.numInputs = FIXTURE_INPUTS;
    r.numOutputs = FIXTURE_OUTPUTS;
    r.flags = effFlagsCanReplacing;
    r.object = f;
    r.uniqueID = fourCharCode('D', 'f', 'i', 'x');
    r.version = 1;
    return &r;
}

#endif
