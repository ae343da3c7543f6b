#include "audio_effect_x.h"

#include "low32.h"
#include "opcodes.h"

namespace {

std::intptr_t answer(bool result) { return result ? 1 : 0; }

std::intptr_t answer(std::int32_t result) { return result; }

// The modifier byte of a key code comes from the host's float option. A NaN
// or a value beyond 32 bits has no integer, so it gives no modifier rather
// than an undefined conversion.
unsigned char modifierByte(float option) {
    if (!(option > -2147483904.0f && option < 2147483648.0f)) return 0;
    return static_cast<unsigned char>(static_cast<std::int32_t>(option));
}

}  // namespace

std::intptr_t AudioEffectX::dispatcher(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                                       float opt) {
    char* const text = static_cast<char*>(ptr);
    switch (opcode) {
        case effProcessEvents: return answer(processEvents(static_cast<VstEvents*>(ptr)));
        case effCanBeAutomated: return answer(canParameterBeAutomated(index));
        case effString2Parameter: return text != nullptr ? answer(string2parameter(index, text)) : 0;
        case effGetProgramNameIndexed:
            return text != nullptr ? answer(getProgramNameIndexed(low32(value), index, text)) : 0;
        case effGetInputProperties: return answer(getInputProperties(index, static_cast<VstPinProperties*>(ptr)));
        case effGetOutputProperties: return answer(getOutputProperties(index, static_cast<VstPinProperties*>(ptr)));
        case effGetPlugCategory: return answer(getPlugCategory());
        case effOfflineNotify: return answer(offlineNotify(static_cast<VstAudioFile*>(ptr), low32(value), index != 0));
        case effOfflinePrepare: return answer(offlinePrepare(static_cast<VstOfflineTask*>(ptr), low32(value)));
        case effOfflineRun: return answer(offlineRun(static_cast<VstOfflineTask*>(ptr), low32(value)));
        case effProcessVarIo: return answer(processVariableIo(static_cast<VstVariableIo*>(ptr)));
        case effSetSpeakerArrangement:
            return answer(setSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement*>(value),
                                                static_cast<VstSpeakerArrangement*>(ptr)));
        case effSetBypass: return answer(setBypass(value != 0));
        case effGetEffectName: return text != nullptr ? answer(getEffectName(text)) : 0;
        case effGetVendorString: return text != nullptr ? answer(getVendorString(text)) : 0;
        case effGetProductString: return text != nullptr ? answer(getProductString(text)) : 0;
        case effGetVendorVersion: return answer(getVendorVersion());
        case effVendorSpecific: return vendorSpecific(index, value, ptr, opt);
        case effCanDo: return text != nullptr ? answer(canDo(text)) : 0;
        case effGetTailSize: return answer(getGetTailSize());
        case effGetParameterProperties:
            return answer(getParameterProperties(index, static_cast<VstParameterProperties*>(ptr)));
        case effGetVstVersion: return answer(getVstVersion());
        case effEditKeyDown:
        case effEditKeyUp: {
            if (editor == nullptr) return 0;
            VstKeyCode key{};
            key.character = index;
            key.virt = static_cast<unsigned char>(value);
            key.modifier = modifierByte(opt);
            return answer(opcode == effEditKeyDown ? editor->onKeyDown(key) : editor->onKeyUp(key));
        }
        case effSetEditKnobMode: return editor != nullptr ? answer(editor->setKnobMode(low32(value))) : 0;
        case effGetMidiProgramName: return answer(getMidiProgramName(index, static_cast<MidiProgramName*>(ptr)));
        case effGetCurrentMidiProgram: return answer(getCurrentMidiProgram(index, static_cast<MidiProgramName*>(ptr)));
        case effGetMidiProgramCategory:
            return answer(getMidiProgramCategory(index, static_cast<MidiProgramCategory*>(ptr)));
        case effHasMidiProgramsChanged: return answer(hasMidiProgramsChanged(index));
        case effGetMidiKeyName: return answer(getMidiKeyName(index, static_cast<MidiKeyName*>(ptr)));
        case effBeginSetProgram: return answer(beginSetProgram());
        case effEndSetProgram: return answer(endSetProgram());
        case effGetSpeakerArrangement:
            return answer(getSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement**>(value),
                                                static_cast<VstSpeakerArrangement**>(ptr)));
        case effShellGetNextPlugin: return text != nullptr ? answer(getNextShellPlugin(text)) : 0;
        case effStartProcess: return answer(startProcess());
        case effStopProcess: return answer(stopProcess());
        case effSetTotalSampleToProcess: return answer(setTotalSampleToProcess(low32(value)));
        case effSetPanLaw: return answer(setPanLaw(low32(value), opt));
        case effBeginLoadBank: return answer(beginLoadBank(static_cast<VstPatchChunkInfo*>(ptr)));
        case effBeginLoadProgram: return answer(beginLoadProgram(static_cast<VstPatchChunkInfo*>(ptr)));
        case effSetProcessPrecision: return answer(setProcessPrecision(low32(value)));
        case effGetNumMidiInputChannels: return answer(getNumMidiInputChannels());
        case effGetNumMidiOutputChannels: return answer(getNumMidiOutputChannels());
        default:
            // Everything else, the retired opcodes of 25 to 79 included, is the core's.
            return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
    }
}

void AudioEffectX::resume() {
    if ((cEffect.flags & effFlagsIsSynth) != 0) {
        wantEvents(1);
        return;
    }
    char receivesMidi[] = "receiveVstMidiEvent";
    if (canDo(receivesMidi) == 1) wantEvents(1);
}

bool AudioEffectX::getSpeakerArrangement(VstSpeakerArrangement** input, VstSpeakerArrangement** output) {
    // A host may pass only the location it cares about.
    if (input != nullptr) *input = nullptr;
    if (output != nullptr) *output = nullptr;
    return false;
}
