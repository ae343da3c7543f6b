// The base effect: owns the effect record handed to the host, turns the
// host's opcodes 0 to 24 into virtual operations, and gives every operation
// a neutral default so that an effect overrides only what it needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

#include "editor.h"
#include "effect_record.h"

class AudioEffect {
public:
    AudioEffect(audioMasterCallback host, std::int32_t programCount, std::int32_t paramCount);
    virtual ~AudioEffect();

    // Storage of effect objects is zero-filled before construction, and
    // failure to obtain it is an answer (null), never an exception.
    static void* operator new(std::size_t size, const std::nothrow_t&) noexcept;
    static void operator delete(void* storage) noexcept;
    static void operator delete(void* storage, const std::nothrow_t&) noexcept;

    virtual std::intptr_t dispatcher(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                                     float opt);
    virtual void open() {}
    virtual void close() {}
    virtual void suspend() {}
    virtual void resume() {}
    virtual void setSampleRate(float rate) { sampleRate = rate; }
    virtual void setBlockSize(std::int32_t size) { blockSize = size; }
    virtual void processReplacing(float** inputs, float** outputs, std::int32_t sampleFrames) = 0;
    virtual void processDoubleReplacing(double** /*inputs*/, double** /*outputs*/, std::int32_t /*sampleFrames*/) {}

    virtual void setParameter(std::int32_t /*index*/, float /*value*/) {}
    virtual float getParameter(std::int32_t /*index*/) { return 0.0f; }
    virtual void setParameterAutomated(std::int32_t index, float value);

    virtual std::int32_t getProgram() { return curProgram; }
    virtual void setProgram(std::int32_t program) { curProgram = program; }
    virtual void setProgramName(char* /*name*/) {}
    virtual void getProgramName(char* name) { name[0] = '\0'; }
    virtual void getParameterLabel(std::int32_t /*index*/, char* label) { label[0] = '\0'; }
    virtual void getParameterDisplay(std::int32_t /*index*/, char* text) { text[0] = '\0'; }
    virtual void getParameterName(std::int32_t /*index*/, char* text) { text[0] = '\0'; }
    virtual std::int32_t getChunk(void** /*data*/, bool /*isPreset*/) { return 0; }
    virtual std::int32_t setChunk(void* /*data*/, std::int32_t /*byteSize*/, bool /*isPreset*/) { return 0; }

    virtual void setUniqueID(std::int32_t id) { cEffect.uniqueID = id; }
    virtual void setNumInputs(std::int32_t count) { cEffect.numInputs = count; }
    virtual void setNumOutputs(std::int32_t count) { cEffect.numOutputs = count; }
    virtual void canProcessReplacing(bool state) { setFlag(effFlagsCanReplacing, state); }
    virtual void canDoubleReplacing(bool state) { setFlag(effFlagsCanDoubleReplacing, state); }
    virtual void programsAreChunks(bool state) { setFlag(effFlagsProgramChunks, state); }
    virtual void setInitialDelay(std::int32_t delay) { cEffect.initialDelay = delay; }

    virtual AEffEditor* getEditor() { return editor; }
    virtual AEffect* getAeffect() { return &cEffect; }
    virtual float getSampleRate() { return sampleRate; }
    virtual std::int32_t getBlockSize() { return blockSize; }

    virtual std::int32_t getMasterVersion();
    virtual std::int32_t getCurrentUniqueId();
    virtual void masterIdle();

    virtual void dB2string(float value, char* text, std::int32_t maxLen);
    virtual void Hz2string(float samples, char* text, std::int32_t maxLen);
    virtual void ms2string(float samples, char* text, std::int32_t maxLen);
    virtual void float2string(float value, char* text, std::int32_t maxLen);
    virtual void int2string(std::int32_t value, char* text, std::int32_t maxLen);

    virtual void process(float** /*inputs*/, float** /*outputs*/, std::int32_t /*sampleFrames*/) {}
    virtual float getVu() { return 0.0f; }
    virtual void hasVu(bool state) { setFlag(effFlagsHasVu, state); }
    virtual void hasClip(bool state) { setFlag(effFlagsHasClip, state); }
    virtual void canMono(bool state) { setFlag(effFlagsCanMono, state); }
    virtual void setRealtimeQualities(std::int32_t qualities) { cEffect.realQualities = qualities; }
    virtual void setOfflineQualities(std::int32_t qualities) { cEffect.offQualities = qualities; }
    virtual bool isInputConnected(std::int32_t input);
    virtual bool isOutputConnected(std::int32_t output);

protected:
    // One call of the host callback; without a callback nothing is sent and
    // the answer is 0, which every request turns into its neutral answer.
    std::intptr_t sendToHost(std::int32_t opcode, std::int32_t index = 0, std::intptr_t value = 0, void* ptr = nullptr,
                             float opt = 0.0f);

    void setFlag(std::int32_t bit, bool state) {
        cEffect.flags = state ? (cEffect.flags | bit) : (cEffect.flags & ~bit);
    }

    audioMasterCallback audioMaster;
    AEffEditor* editor;
    float sampleRate;
    std::int32_t blockSize;
    std::int32_t numPrograms;
    std::int32_t numParams;
    std::int32_t curProgram;
    AEffect cEffect;
};

// Defined by the effect that the library delivers; the entry point calls it
// once per instance the host asks for.
AudioEffect* createEffectInstance(audioMasterCallback host);
