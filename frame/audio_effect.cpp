#include "audio_effect.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "opcodes.h"

namespace {

AudioEffect* effectOf(AEffect* record) { return static_cast<AudioEffect*>(record->object); }

std::intptr_t dispatchEntry(AEffect* record, std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                            float opt) {
    AudioEffect* effect = effectOf(record);
    const std::intptr_t answer = effect->dispatcher(opcode, index, value, ptr, opt);
    if (opcode == effClose) {
        // The record lives inside the object: nothing may touch it after this.
        delete effect;
        return 1;
    }
    return answer;
}

void processEntry(AEffect* record, float** inputs, float** outputs, std::int32_t sampleFrames) {
    effectOf(record)->process(inputs, outputs, sampleFrames);
}

void processReplacingEntry(AEffect* record, float** inputs, float** outputs, std::int32_t sampleFrames) {
    effectOf(record)->processReplacing(inputs, outputs, sampleFrames);
}

void processDoubleReplacingEntry(AEffect* record, double** inputs, double** outputs, std::int32_t sampleFrames) {
    effectOf(record)->processDoubleReplacing(inputs, outputs, sampleFrames);
}

void setParameterEntry(AEffect* record, std::int32_t index, float value) {
    effectOf(record)->setParameter(index, value);
}

float getParameterEntry(AEffect* record, std::int32_t index) { return effectOf(record)->getParameter(index); }

}  // namespace

AudioEffect::AudioEffect(audioMasterCallback host, std::int32_t programCount, std::int32_t paramCount)
    : audioMaster(host),
      editor(nullptr),
      sampleRate(44100.0f),
      blockSize(1024),
      numPrograms(programCount),
      numParams(paramCount),
      curProgram(0) {
    std::memset(&cEffect, 0, sizeof cEffect);
    cEffect.flags = effFlagsCanReplacing;
    cEffect.dispatcher = dispatchEntry;
    cEffect.process = processEntry;
    cEffect.setParameter = setParameterEntry;
    cEffect.getParameter = getParameterEntry;
    cEffect.processReplacing = processReplacingEntry;
    cEffect.processDoubleReplacing = processDoubleReplacingEntry;
    cEffect.magic = kEffectMagic;
    cEffect.numPrograms = programCount;
    cEffect.numParams = paramCount;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.uniqueID = fourCharCode('N', 'o', 'E', 'f');
    cEffect.version = 1;
}

AudioEffect::~AudioEffect() { delete editor; }

void* AudioEffect::operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::calloc(1, size); }

void AudioEffect::operator delete(void* storage) noexcept { std::free(storage); }

void AudioEffect::operator delete(void* storage, const std::nothrow_t&) noexcept { std::free(storage); }

std::intptr_t AudioEffect::dispatcher(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                                      float opt) {
    // Negative opcodes wrap to large unsigned values and fall out here too.
    if (static_cast<std::uint32_t>(opcode) > effSetChunk) return 0;

    // A text request without a buffer is one that cannot be served.
    char* const text = static_cast<char*>(ptr);
    switch (opcode) {
        case effOpen: open(); return 0;
        case effClose: close(); return 0;
        case effSetProgram:
            // Compared in full width: a value with only high bits set is no program.
            if (value >= 0 && value < numPrograms) setProgram(static_cast<std::int32_t>(value));
            return 0;
        case effGetProgram: return getProgram();
        case effSetProgramName:
            if (text != nullptr) setProgramName(text);
            return 0;
        case effGetProgramName:
            if (text != nullptr) getProgramName(text);
            return 0;
        case effGetParamLabel:
            if (text != nullptr) getParameterLabel(index, text);
            return 0;
        case effGetParamDisplay:
            if (text != nullptr) getParameterDisplay(index, text);
            return 0;
        case effGetParamName:
            if (text != nullptr) getParameterName(index, text);
            return 0;
        case effSetSampleRate:
            // A rate of zero, below zero or not finite would turn every later sample into NaN.
            if (std::isfinite(opt) && opt > 0.0f) setSampleRate(opt);
            return 0;
        case effSetBlockSize: setBlockSize(static_cast<std::int32_t>(value)); return 0;
        case effMainsChanged:
            if (value == 0) {
                suspend();
            } else {
                resume();
            }
            return 0;
        case effEditGetRect: return editor != nullptr && editor->getRect(static_cast<ERect**>(ptr)) ? 1 : 0;
        case effEditOpen: return editor != nullptr && editor->open(ptr) ? 1 : 0;
        case effEditClose:
            if (editor != nullptr) editor->close();
            return 0;
        case effEditIdle:
            if (editor != nullptr) editor->idle();
            return 0;
        case effIdentify: return kEffectIdentity;
        case effGetChunk: return getChunk(static_cast<void**>(ptr), index != 0);
        case effSetChunk: return setChunk(ptr, static_cast<std::int32_t>(value), index != 0);
        default: return 0;
    }
}

void AudioEffect::setParameterAutomated(std::int32_t index, float value) {
    setParameter(index, value);
    if (audioMaster != nullptr) audioMaster(&cEffect, audioMasterAutomate, index, 0, nullptr, value);
}
