// A minimal stereo effect written straight against the record, for the
// validator's tests: it halves its input and has one parameter, "Gain". Each
// deliberately broken plug-in is this effect with one fault, chosen by the
// `faults` it defines; everything else about it is correct.
#pragma once

#include <cstdint>
#include <cstring>

#include "frame/effect_record.h"
#include "frame/opcodes.h"

namespace bare {

struct Effect {
    AEffect record;
    audioMasterCallback host;
    float gain;
    float sampleRate;
    std::int64_t framesProcessed;
};

struct Faults {
    // Called first for every opcode.
    void (*onDispatch)(Effect& effect, std::int32_t opcode) = nullptr;
    // Called after every block has been processed correctly.
    void (*onProcess)(Effect& effect, float** inputs, float** outputs, std::int32_t frames) = nullptr;
    // Parameter 0's texts, copied in full whatever their length, as a plug-in
    // that overruns the host's buffer copies them.
    const char* parameterName = "Gain";
    const char* parameterDisplay = "half";
    bool unterminatedProduct = false;
    bool anyParameterValue = false;  // stores NaN, infinities and values outside 0 to 1
    float readBackScale = 1.0f;      // getParameter answers the value times this
};

// Defined by each broken plug-in.
extern const Faults faults;

inline Effect& of(AEffect* record) { return *static_cast<Effect*>(record->object); }

inline void copyText(void* buffer, const char* text, std::size_t bound) {
    char* out = static_cast<char*>(buffer);
    std::size_t i = 0;
    for (; i < bound && text[i] != '\0'; ++i) out[i] = text[i];
    out[i] = '\0';
}

inline void copyUnbounded(void* buffer, const char* text) { std::strcpy(static_cast<char*>(buffer), text); }

inline std::intptr_t productString(void* buffer) {
    constexpr char kProduct[] = "Bare effect";
    if (faults.unterminatedProduct)
        std::memcpy(buffer, kProduct, sizeof kProduct - 1);
    else
        copyText(buffer, kProduct, 64);
    return 1;
}

inline std::intptr_t dispatch(AEffect* record, std::int32_t opcode, std::int32_t index, std::intptr_t, void* ptr,
                              float opt) {
    Effect& effect = of(record);
    if (faults.onDispatch != nullptr) faults.onDispatch(effect, opcode);
    switch (opcode) {
        case effClose: delete &effect; return 1;
        case effSetSampleRate: effect.sampleRate = opt; return 0;
        case effGetParamName:
            if (index == 0)
                copyUnbounded(ptr, faults.parameterName);
            else
                copyText(ptr, "", 8);
            return 0;
        case effGetParamDisplay:
            if (index == 0)
                copyUnbounded(ptr, faults.parameterDisplay);
            else
                copyText(ptr, "", 8);
            return 0;
        case effGetParamLabel: copyText(ptr, "", 8); return 0;
        case effGetProgramName: copyText(ptr, "Default", 24); return 0;
        case effGetEffectName: copyText(ptr, "Bare", 32); return 1;
        case effGetVendorString: copyText(ptr, "Dravelkint tests", 64); return 1;
        case effGetProductString: return productString(ptr);
        case effGetVstVersion: return 2400;
        case effGetPlugCategory: return kPlugCategEffect;
        default: return 0;
    }
}

inline void processReplacing(AEffect* record, float** inputs, float** outputs, std::int32_t frames) {
    Effect& effect = of(record);
    for (std::int32_t c = 0; c < 2; ++c)
        for (std::int32_t i = 0; i < frames; ++i) outputs[c][i] = inputs[c][i] * effect.gain;
    effect.framesProcessed += frames > 0 ? frames : 0;
    if (faults.onProcess != nullptr) faults.onProcess(effect, inputs, outputs, frames);
}

inline void process(AEffect* record, float** inputs, float** outputs, std::int32_t frames) {
    for (std::int32_t c = 0; c < 2; ++c)
        for (std::int32_t i = 0; i < frames; ++i) outputs[c][i] += inputs[c][i] * of(record).gain;
}

inline void setParameter(AEffect* record, std::int32_t index, float value) {
    if (index != 0) return;
    if (faults.anyParameterValue || (value >= 0.0f && value <= 1.0f)) of(record).gain = value;
}

inline float getParameter(AEffect* record, std::int32_t index) {
    return index == 0 ? of(record).gain * faults.readBackScale : 0.0f;
}

inline AEffect* create(audioMasterCallback host) {
    if (host == nullptr || host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    auto* effect = new Effect{};
    effect->host = host;
    effect->gain = 0.5f;
    effect->sampleRate = 44100.0f;
    AEffect& r = effect->record;
    r.magic = kEffectMagic;
    r.dispatcher = dispatch;
    r.process = process;
    r.setParameter = setParameter;
    r.getParameter = getParameter;
    r.numPrograms = 1;
    r.numParams = 1;
    r.numInputs = 2;
    r.numOutputs = 2;
    r.flags = effFlagsCanReplacing;
    r.ioRatio = 1.0f;
    r.object = effect;
    r.uniqueID = fourCharCode('b', 'a', 'r', 'e');
    r.version = 1;
    r.processReplacing = processReplacing;
    return &r;
}

}  // namespace bare

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback host) {
    return bare::create(host);
}
