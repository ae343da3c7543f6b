// The extended effect: serves the host's opcodes 25 to 79, adds the
// operations of the extended interface with their neutral defaults, the
// host requests an effect may send, and the speaker-arrangement tools.
#pragma once

#include <cstdint>

#include "audio_effect.h"
#include "opcodes.h"
#include "speaker_arrangement.h"
#include "time_info.h"

// Records that the extended operations only hand on; no default reads them.
struct VstEvents;
struct VstPinProperties;
struct VstParameterProperties;
struct VstAudioFile;
struct VstOfflineTask;
struct VstVariableIo;
struct VstPatchChunkInfo;
struct MidiProgramName;
struct MidiProgramCategory;
struct MidiKeyName;
struct VstFileSelect;
struct VstWindow;

class AudioEffectX : public AudioEffect {
public:
    using AudioEffect::AudioEffect;

    std::intptr_t dispatcher(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                             float opt) override;
    void resume() override;

    virtual bool canParameterBeAutomated(std::int32_t /*index*/) { return true; }
    virtual bool string2parameter(std::int32_t /*index*/, char* /*text*/) { return false; }
    virtual bool getParameterProperties(std::int32_t /*index*/, VstParameterProperties* /*p*/) { return false; }
    virtual bool beginEdit(std::int32_t index);
    virtual bool endEdit(std::int32_t index);
    virtual bool getProgramNameIndexed(std::int32_t /*category*/, std::int32_t /*index*/, char* /*text*/) {
        return false;
    }
    virtual bool beginSetProgram() { return false; }
    virtual bool endSetProgram() { return false; }
    virtual std::int32_t beginLoadBank(VstPatchChunkInfo* /*info*/) { return 0; }
    virtual std::int32_t beginLoadProgram(VstPatchChunkInfo* /*info*/) { return 0; }

    virtual bool ioChanged();
    virtual double updateSampleRate();
    virtual std::int32_t updateBlockSize();
    virtual std::int32_t getInputLatency();
    virtual std::int32_t getOutputLatency();
    virtual bool getInputProperties(std::int32_t /*index*/, VstPinProperties* /*p*/) { return false; }
    virtual bool getOutputProperties(std::int32_t /*index*/, VstPinProperties* /*p*/) { return false; }
    virtual bool setSpeakerArrangement(VstSpeakerArrangement* /*input*/, VstSpeakerArrangement* /*output*/) {
        return false;
    }
    virtual bool getSpeakerArrangement(VstSpeakerArrangement** input, VstSpeakerArrangement** output);
    virtual bool setBypass(bool /*on*/) { return false; }
    virtual bool setPanLaw(std::int32_t /*type*/, float /*gain*/) { return false; }
    virtual bool setProcessPrecision(std::int32_t /*precision*/) { return false; }
    virtual std::int32_t getNumMidiInputChannels() { return 0; }
    virtual std::int32_t getNumMidiOutputChannels() { return 0; }

    virtual VstTimeInfo* getTimeInfo(std::int32_t filter);
    virtual std::int32_t getCurrentProcessLevel();
    virtual std::int32_t getAutomationState();

    virtual std::int32_t processEvents(VstEvents* /*events*/) { return 0; }
    virtual std::int32_t startProcess() { return 0; }
    virtual std::int32_t stopProcess() { return 0; }
    virtual bool processVariableIo(VstVariableIo* /*io*/) { return false; }
    virtual std::int32_t setTotalSampleToProcess(std::int32_t value) { return value; }

    virtual bool getHostVendorString(char* text);
    virtual bool getHostProductString(char* text);
    virtual std::int32_t getHostVendorVersion();
    virtual std::intptr_t hostVendorSpecific(std::int32_t arg1, std::intptr_t arg2, void* ptrArg, float floatArg);
    virtual std::int32_t canHostDo(char* text);
    virtual std::int32_t getHostLanguage();

    virtual void isSynth(bool state) { setFlag(effFlagsIsSynth, state); }
    virtual void noTail(bool state) { setFlag(effFlagsNoSoundInStop, state); }
    virtual std::int32_t getGetTailSize() { return 0; }
    virtual void* getDirectory();

    virtual bool getEffectName(char* /*name*/) { return false; }
    virtual bool getVendorString(char* /*text*/) { return false; }
    virtual bool getProductString(char* /*text*/) { return false; }
    virtual std::int32_t getVendorVersion() { return 0; }
    virtual std::intptr_t vendorSpecific(std::int32_t /*arg1*/, std::intptr_t /*arg2*/, void* /*ptrArg*/,
                                         float /*floatArg*/) {
        return 0;
    }
    virtual std::int32_t canDo(char* /*text*/) { return 0; }
    virtual std::int32_t getVstVersion() { return 2400; }
    virtual std::int32_t getPlugCategory() {
        return (cEffect.flags & effFlagsIsSynth) != 0 ? kPlugCategSynth : kPlugCategUnknown;
    }

    virtual std::int32_t getMidiProgramName(std::int32_t /*channel*/, MidiProgramName* /*name*/) { return 0; }
    virtual std::int32_t getCurrentMidiProgram(std::int32_t /*channel*/, MidiProgramName* /*name*/) { return -1; }
    virtual std::int32_t getMidiProgramCategory(std::int32_t /*channel*/, MidiProgramCategory* /*category*/) {
        return 0;
    }
    virtual bool hasMidiProgramsChanged(std::int32_t /*channel*/) { return false; }
    virtual bool getMidiKeyName(std::int32_t /*channel*/, MidiKeyName* /*keyName*/) { return false; }

    virtual bool updateDisplay();
    virtual bool sizeWindow(std::int32_t width, std::int32_t height);
    virtual bool openFileSelector(VstFileSelect* select);
    virtual bool closeFileSelector(VstFileSelect* select);
    virtual std::int32_t getNextShellPlugin(char* /*name*/) { return 0; }

    virtual bool allocateArrangement(VstSpeakerArrangement** arrangement, std::int32_t channels);
    virtual bool deallocateArrangement(VstSpeakerArrangement** arrangement);
    virtual bool copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from);
    virtual bool matchArrangement(VstSpeakerArrangement** to, VstSpeakerArrangement* from);

    virtual bool offlineRead(VstOfflineTask* task, std::int32_t option, bool readSource);
    virtual bool offlineWrite(VstOfflineTask* task, std::int32_t option);
    virtual bool offlineStart(VstAudioFile* files, std::int32_t fileCount, std::int32_t newFileCount);
    virtual std::int32_t offlineGetCurrentPass();
    virtual std::int32_t offlineGetCurrentMetaPass();
    virtual bool offlineNotify(VstAudioFile* /*files*/, std::int32_t /*count*/, bool /*start*/) { return false; }
    virtual bool offlinePrepare(VstOfflineTask* /*task*/, std::int32_t /*count*/) { return false; }
    virtual bool offlineRun(VstOfflineTask* /*task*/, std::int32_t /*count*/) { return false; }
    virtual std::int32_t offlineGetNumPasses() { return 0; }
    virtual std::int32_t offlineGetNumMetaPasses() { return 0; }

    virtual void wantEvents(std::int32_t filter);
    virtual std::int32_t tempoAt(std::int32_t position);
    virtual std::int32_t getNumAutomatableParameters();
    virtual std::int32_t getParameterQuantization();
    virtual std::int32_t getNumCategories() { return 1; }
    virtual bool copyProgram(std::int32_t /*destination*/) { return false; }
    virtual bool needIdle();
    virtual AEffect* getPreviousPlug(std::int32_t input);
    virtual AEffect* getNextPlug(std::int32_t output);
    virtual void inputConnected(std::int32_t /*index*/, bool /*state*/) {}
    virtual void outputConnected(std::int32_t /*index*/, bool /*state*/) {}
    virtual std::int32_t willProcessReplacing();
    virtual void wantAsyncOperation(bool state) { setFlag(effFlagsExtIsAsync, state); }
    virtual void hasExternalBuffer(bool state) { setFlag(effFlagsExtHasBuffer, state); }
    virtual std::int32_t reportCurrentPosition() { return 0; }
    virtual float* reportDestinationBuffer() { return nullptr; }
    virtual void setOutputSamplerate(float rate);
    virtual VstSpeakerArrangement* getInputSpeakerArrangement();
    virtual VstSpeakerArrangement* getOutputSpeakerArrangement();
    virtual void* openWindow(VstWindow* window);
    virtual bool closeWindow(VstWindow* window);
    virtual void setBlockSizeAndSampleRate(std::int32_t size, float rate) {
        blockSize = size;
        sampleRate = rate;
    }
    virtual bool getErrorText(char* /*text*/) { return false; }
    virtual void* getIcon() { return nullptr; }
    virtual bool setViewPosition(std::int32_t /*x*/, std::int32_t /*y*/) { return false; }
    virtual std::int32_t fxIdle() { return 0; }
    virtual bool keysRequired() { return false; }
    virtual bool getChunkFile(void* nativePath);
};
