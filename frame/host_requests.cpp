// The requests an effect sends its host, all but the automate request, which
// setParameterAutomated sends with the value it sets (audio_effect.cpp). Each
// is one call of the host callback; without a callback nothing is sent and
// sendToHost answers 0, which each conversion below turns into the request's
// neutral answer.
#include "audio_effect_x.h"
#include "low32.h"
#include "opcodes.h"

std::intptr_t AudioEffect::sendToHost(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                                      float opt) {
    if (audioMaster == nullptr) return 0;
    return audioMaster(&cEffect, opcode, index, value, ptr, opt);
}

std::int32_t AudioEffect::getMasterVersion() {
    // A host that cannot tell its version is taken to be of version 1.
    const std::int32_t version = low32(sendToHost(audioMasterVersion));
    return version != 0 ? version : 1;
}

std::int32_t AudioEffect::getCurrentUniqueId() { return low32(sendToHost(audioMasterCurrentId)); }

void AudioEffect::masterIdle() { sendToHost(audioMasterIdle); }

// The host answers 0 for a connected pin; without a host every pin counts as connected.
bool AudioEffect::isInputConnected(std::int32_t input) {
    return low32(sendToHost(audioMasterPinConnected, input, 0)) == 0;
}

bool AudioEffect::isOutputConnected(std::int32_t output) {
    return low32(sendToHost(audioMasterPinConnected, output, 1)) == 0;
}

VstTimeInfo* AudioEffectX::getTimeInfo(std::int32_t filter) {
    return reinterpret_cast<VstTimeInfo*>(sendToHost(audioMasterGetTime, 0, filter));
}

bool AudioEffectX::beginEdit(std::int32_t index) { return sendToHost(audioMasterBeginEdit, index) != 0; }

bool AudioEffectX::endEdit(std::int32_t index) { return sendToHost(audioMasterEndEdit, index) != 0; }

bool AudioEffectX::ioChanged() { return sendToHost(audioMasterIOChanged) != 0; }

double AudioEffectX::updateSampleRate() {
    // The host answers whole hertz; only a positive answer replaces the rate.
    const std::intptr_t rate = sendToHost(audioMasterGetSampleRate);
    if (rate > 0) sampleRate = static_cast<float>(rate);
    return sampleRate;
}

std::int32_t AudioEffectX::updateBlockSize() {
    const std::int32_t size = low32(sendToHost(audioMasterGetBlockSize));
    if (size > 0) blockSize = size;
    return blockSize;
}

std::int32_t AudioEffectX::getInputLatency() { return low32(sendToHost(audioMasterGetInputLatency)); }

std::int32_t AudioEffectX::getOutputLatency() { return low32(sendToHost(audioMasterGetOutputLatency)); }

std::int32_t AudioEffectX::getCurrentProcessLevel() { return low32(sendToHost(audioMasterGetCurrentProcessLevel)); }

std::int32_t AudioEffectX::getAutomationState() { return low32(sendToHost(audioMasterGetAutomationState)); }

bool AudioEffectX::getHostVendorString(char* text) { return sendToHost(audioMasterGetVendorString, 0, 0, text) != 0; }

bool AudioEffectX::getHostProductString(char* text) { return sendToHost(audioMasterGetProductString, 0, 0, text) != 0; }

std::int32_t AudioEffectX::getHostVendorVersion() { return low32(sendToHost(audioMasterGetVendorVersion)); }

std::intptr_t AudioEffectX::hostVendorSpecific(std::int32_t arg1, std::intptr_t arg2, void* ptrArg, float floatArg) {
    return sendToHost(audioMasterVendorSpecific, arg1, arg2, ptrArg, floatArg);
}

std::int32_t AudioEffectX::canHostDo(char* text) { return sendToHost(audioMasterCanDo, 0, 0, text) != 0 ? 1 : 0; }

std::int32_t AudioEffectX::getHostLanguage() { return low32(sendToHost(audioMasterGetLanguage)); }

void* AudioEffectX::getDirectory() { return reinterpret_cast<void*>(sendToHost(audioMasterGetDirectory)); }

bool AudioEffectX::updateDisplay() { return sendToHost(audioMasterUpdateDisplay) != 0; }

bool AudioEffectX::sizeWindow(std::int32_t width, std::int32_t height) {
    return sendToHost(audioMasterSizeWindow, width, height) != 0;
}

bool AudioEffectX::openFileSelector(VstFileSelect* select) {
    return select != nullptr && sendToHost(audioMasterOpenFileSelector, 0, 0, select) != 0;
}

bool AudioEffectX::closeFileSelector(VstFileSelect* select) {
    return select != nullptr && sendToHost(audioMasterCloseFileSelector, 0, 0, select) != 0;
}

bool AudioEffectX::offlineRead(VstOfflineTask* task, std::int32_t option, bool readSource) {
    return sendToHost(audioMasterOfflineRead, readSource ? 1 : 0, option, task) != 0;
}

bool AudioEffectX::offlineWrite(VstOfflineTask* task, std::int32_t option) {
    return sendToHost(audioMasterOfflineWrite, 0, option, task) != 0;
}

bool AudioEffectX::offlineStart(VstAudioFile* files, std::int32_t fileCount, std::int32_t newFileCount) {
    return sendToHost(audioMasterOfflineStart, newFileCount, fileCount, files) != 0;
}

std::int32_t AudioEffectX::offlineGetCurrentPass() { return sendToHost(audioMasterOfflineGetCurrentPass) != 0 ? 1 : 0; }

std::int32_t AudioEffectX::offlineGetCurrentMetaPass() {
    return sendToHost(audioMasterOfflineGetCurrentMetaPass) != 0 ? 1 : 0;
}

void AudioEffectX::wantEvents(std::int32_t filter) { sendToHost(audioMasterWantMidi, 0, filter); }

std::int32_t AudioEffectX::tempoAt(std::int32_t position) { return low32(sendToHost(audioMasterTempoAt, 0, position)); }

std::int32_t AudioEffectX::getNumAutomatableParameters() {
    return low32(sendToHost(audioMasterGetNumAutomatableParameters));
}

std::int32_t AudioEffectX::getParameterQuantization() { return low32(sendToHost(audioMasterGetParameterQuantization)); }

bool AudioEffectX::needIdle() { return sendToHost(audioMasterNeedIdle) != 0; }

// The pin number is not part of these requests.
AEffect* AudioEffectX::getPreviousPlug(std::int32_t /*input*/) {
    return reinterpret_cast<AEffect*>(sendToHost(audioMasterGetPreviousPlug));
}

AEffect* AudioEffectX::getNextPlug(std::int32_t /*output*/) {
    return reinterpret_cast<AEffect*>(sendToHost(audioMasterGetNextPlug));
}

std::int32_t AudioEffectX::willProcessReplacing() { return low32(sendToHost(audioMasterWillReplaceOrAccumulate)); }

void AudioEffectX::setOutputSamplerate(float rate) { sendToHost(audioMasterSetOutputSampleRate, 0, 0, nullptr, rate); }

VstSpeakerArrangement* AudioEffectX::getInputSpeakerArrangement() {
    return reinterpret_cast<VstSpeakerArrangement*>(sendToHost(audioMasterGetInputSpeakerArrangement));
}

VstSpeakerArrangement* AudioEffectX::getOutputSpeakerArrangement() {
    return reinterpret_cast<VstSpeakerArrangement*>(sendToHost(audioMasterGetOutputSpeakerArrangement));
}

void* AudioEffectX::openWindow(VstWindow* window) {
    return reinterpret_cast<void*>(sendToHost(audioMasterOpenWindow, 0, 0, window));
}

bool AudioEffectX::closeWindow(VstWindow* window) { return sendToHost(audioMasterCloseWindow, 0, 0, window) != 0; }

bool AudioEffectX::getChunkFile(void* nativePath) {
    return nativePath != nullptr && sendToHost(audioMasterGetChunkFile, 0, 0, nativePath) != 0;
}
