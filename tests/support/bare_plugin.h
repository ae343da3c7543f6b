// A minimal effect written straight against the record, for tests that need
// a plug-in other than Dravelkint: by default stereo, halving its input, with
// one parameter, "Gain". It can also offer what plug-ins offer besides:
// a chunk, programs, double precision, latency, bypass and an editor. Each plug-in built on it defines its `behaviour`:
// the validator's deliberately broken plug-ins one fault each (everything
// else about them is correct), the host's fixtures other shapes and
// parameter displays.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "frame/effect_record.h"
#include "frame/opcodes.h"

namespace bare {

constexpr std::int32_t kMaxParameters = 8;
constexpr std::int32_t kMaxChannels = 8;
constexpr std::int32_t kMaxDelay = 1024;

struct Effect {
    AEffect record;
    audioMasterCallback host;
    float values[kMaxParameters];  // values[0] is the gain unless gainOf() says otherwise
    float sampleRate;
    std::int32_t blockSize;  // the largest block announced
    std::int64_t framesProcessed;
    std::int32_t program;
    bool bypassed;
    float delayLine[kMaxChannels][kMaxDelay];
    std::int32_t delayAt;
    std::uint64_t scratch;  // for a plug-in's own state
};

enum class Offer { none, works, broken };

struct Behaviour {
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

    // Another shape: channels, parameters (up to kMaxParameters) and their
    // values at the start; output c is input c % inputs times the gain.
    std::int32_t inputs = 2;
    std::int32_t outputs = 2;
    std::int32_t parameters = 1;
    float initialValues[kMaxParameters] = {0.5f};
    float (*gainOf)(const float* values) = nullptr;
    // Writes the name, label or display (by opcode) of any parameter holding
    // `value`, in place of parameter 0's texts above.
    void (*parameterText)(std::int32_t opcode, std::int32_t index, float value, char* text) = nullptr;
    const char* effectName = "Bare";
    const char* vendor = "Dravelkint tests";
    std::int32_t uniqueId = fourCharCode('b', 'a', 'r', 'e');

    // Called before every parameter change is stored.
    void (*onSetParameter)(Effect& effect, std::int32_t index, float value) = nullptr;
    // Called when processing is switched on or off (effMainsChanged), after onDispatch.
    void (*onSwitch)(Effect& effect, bool on) = nullptr;
    // The parameter values as a chunk; broken: setChunk stores nothing.
    Offer chunk = Offer::none;
    // Programs set the gain to 0.25 + program / 8; broken: setProgram is ignored.
    std::int32_t programs = 1;
    Offer programChoice = Offer::works;
    // effFlagsCanDoubleReplacing; broken: the input copied unprocessed.
    Offer doublePrecision = Offer::none;
    bool instrument = false;  // effFlagsIsSynth
    // initialDelay, and the delay really applied.
    std::int32_t latency = 0;
    std::int32_t delay = 0;
    // effSetBypass answers 1; broken: accepted, but processing goes on.
    Offer bypass = Offer::none;
    // An editor that builds no window of its own; broken: opening it crashes.
    Offer editor = Offer::none;
    // Outputs from this one on are never written (-1: all are).
    std::int32_t writtenOutputs = -1;
};

// Defined by each plug-in built on this one.
extern const Behaviour behaviour;

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
    if (behaviour.unterminatedProduct)
        std::memcpy(buffer, kProduct, sizeof kProduct - 1);
    else
        copyText(buffer, kProduct, 64);
    return 1;
}

inline void chooseProgram(Effect& effect, std::intptr_t program) {
    if (program < 0 || program >= behaviour.programs || behaviour.programChoice == Offer::broken) return;
    effect.program = static_cast<std::int32_t>(program);
    effect.values[0] = 0.25f + static_cast<float>(program) / 8.0f;
}

inline std::intptr_t editorRequest(Effect& effect, std::int32_t opcode, void* ptr) {
    // Only the plug-in reads its rectangle.
    static const char rectangle[16] = {};
    if (behaviour.editor == Offer::none) return 0;
    if (opcode == effEditGetRect) {
        *static_cast<const void**>(ptr) = rectangle;
        return 1;
    }
    if (opcode == effEditOpen && behaviour.editor == Offer::broken) {
        volatile int* volatile nowhere = &effect.program;
        nowhere = nullptr;
        *nowhere = 1;
    }
    return opcode == effEditOpen ? 1 : 0;
}

inline std::intptr_t dispatch(AEffect* record, std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                              float opt) {
    Effect& effect = of(record);
    if (behaviour.onDispatch != nullptr) behaviour.onDispatch(effect, opcode);
    if (opcode == effMainsChanged && behaviour.onSwitch != nullptr) behaviour.onSwitch(effect, value != 0);
    const bool known = index >= 0 && index < behaviour.parameters;
    if (behaviour.parameterText != nullptr &&
        (opcode == effGetParamName || opcode == effGetParamLabel || opcode == effGetParamDisplay)) {
        if (known) behaviour.parameterText(opcode, index, effect.values[index], static_cast<char*>(ptr));
        return 0;
    }
    switch (opcode) {
        case effClose: delete &effect; return 1;
        case effSetSampleRate: effect.sampleRate = opt; return 0;
        case effSetBlockSize: effect.blockSize = static_cast<std::int32_t>(value); return 0;
        case effGetParamName:
            if (index == 0)
                copyUnbounded(ptr, behaviour.parameterName);
            else
                copyText(ptr, "", 8);
            return 0;
        case effGetParamDisplay:
            if (index == 0)
                copyUnbounded(ptr, behaviour.parameterDisplay);
            else
                copyText(ptr, "", 8);
            return 0;
        case effGetParamLabel: copyText(ptr, "", 8); return 0;
        case effGetProgramName: copyText(ptr, "Default", 24); return 0;
        case effGetEffectName: copyText(ptr, behaviour.effectName, 32); return 1;
        case effGetVendorString: copyText(ptr, behaviour.vendor, 64); return 1;
        case effGetProductString: return productString(ptr);
        case effGetVstVersion: return 2400;
        case effGetPlugCategory: return behaviour.instrument ? kPlugCategSynth : kPlugCategUnknown;
        case effSetBypass:
            if (behaviour.bypass == Offer::none) return 0;
            effect.bypassed = value != 0 && behaviour.bypass == Offer::works;
            return 1;
        case effSetProgram: chooseProgram(effect, value); return 0;
        case effGetProgram: return effect.program;
        case effGetChunk:
            if (behaviour.chunk == Offer::none) return 0;
            *static_cast<void**>(ptr) = effect.values;
            return sizeof effect.values;
        case effSetChunk:
            if (behaviour.chunk == Offer::works && value == sizeof effect.values)
                std::memcpy(effect.values, ptr, sizeof effect.values);
            return 1;
        case effEditGetRect:
        case effEditOpen: return editorRequest(effect, opcode, ptr);
        default: return 0;
    }
}

inline float gain(const Effect& effect) {
    return behaviour.gainOf != nullptr ? behaviour.gainOf(effect.values) : effect.values[0];
}

// One sample of output channel c: the input (or, for an instrument, nothing)
// times the gain, delayed as asked.
template <typename Sample>
inline void render(Effect& effect, Sample** inputs, Sample** outputs, std::int32_t frames) {
    const std::int32_t ins = behaviour.inputs;
    for (std::int32_t i = 0; i < frames; ++i) {
        const std::int32_t written = behaviour.writtenOutputs < 0 ? behaviour.outputs : behaviour.writtenOutputs;
        for (std::int32_t c = 0; c < written; ++c) {
            Sample x = ins > 0 ? inputs[c % ins][i] : Sample(0);
            if (behaviour.delay > 0 && c < kMaxChannels) {
                float& slot = effect.delayLine[c][effect.delayAt];
                const Sample delayed = static_cast<Sample>(slot);
                slot = static_cast<float>(x);
                x = delayed;
            }
            outputs[c][i] = effect.bypassed ? x : static_cast<Sample>(x * gain(effect));
        }
        if (behaviour.delay > 0) effect.delayAt = (effect.delayAt + 1) % behaviour.delay;
    }
}

inline void processReplacing(AEffect* record, float** inputs, float** outputs, std::int32_t frames) {
    Effect& effect = of(record);
    render(effect, inputs, outputs, frames);
    effect.framesProcessed += frames > 0 ? frames : 0;
    if (behaviour.onProcess != nullptr) behaviour.onProcess(effect, inputs, outputs, frames);
}

inline void processDoubleReplacing(AEffect* record, double** inputs, double** outputs, std::int32_t frames) {
    Effect& effect = of(record);
    if (behaviour.doublePrecision == Offer::works) {
        render(effect, inputs, outputs, frames);
        return;
    }
    for (std::int32_t c = 0; c < behaviour.outputs; ++c)
        for (std::int32_t i = 0; i < frames; ++i) outputs[c][i] = inputs[c % behaviour.inputs][i];
}

inline void process(AEffect* record, float** inputs, float** outputs, std::int32_t frames) {
    const std::int32_t ins = behaviour.inputs;
    for (std::int32_t c = 0; c < behaviour.outputs; ++c)
        for (std::int32_t i = 0; i < frames; ++i) outputs[c][i] += inputs[c % ins][i] * gain(of(record));
}

inline void setParameter(AEffect* record, std::int32_t index, float value) {
    if (behaviour.onSetParameter != nullptr) behaviour.onSetParameter(of(record), index, value);
    if (index < 0 || index >= behaviour.parameters) return;
    if (behaviour.anyParameterValue || (value >= 0.0f && value <= 1.0f)) of(record).values[index] = value;
}

inline float getParameter(AEffect* record, std::int32_t index) {
    if (index < 0 || index >= behaviour.parameters) return 0.0f;
    return of(record).values[index] * behaviour.readBackScale;
}

inline AEffect* create(audioMasterCallback host) {
    if (host == nullptr || host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    auto* effect = new Effect{};
    effect->host = host;
    std::memcpy(effect->values, behaviour.initialValues, sizeof effect->values);
    effect->sampleRate = 44100.0f;
    AEffect& r = effect->record;
    r.magic = kEffectMagic;
    r.dispatcher = dispatch;
    r.process = process;
    r.setParameter = setParameter;
    r.getParameter = getParameter;
    r.numPrograms = behaviour.programs;
    r.numParams = behaviour.parameters;
    r.numInputs = behaviour.inputs;
    r.numOutputs = behaviour.outputs;
    r.flags = effFlagsCanReplacing;
    if (behaviour.chunk != Offer::none) r.flags |= effFlagsProgramChunks;
    if (behaviour.doublePrecision != Offer::none) r.flags |= effFlagsCanDoubleReplacing;
    if (behaviour.instrument) r.flags |= effFlagsIsSynth;
    r.initialDelay = behaviour.latency;
    r.ioRatio = 1.0f;
    r.object = effect;
    r.uniqueID = behaviour.uniqueId;
    r.version = 1;
    r.processReplacing = processReplacing;
    if (behaviour.doublePrecision != Offer::none) r.processDoubleReplacing = processDoubleReplacing;
    return &r;
}

}  // namespace bare

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback host) {
    return bare::create(host);
}
