#include "record_names.h"

#include <cstdio>
#include <string_view>

#include "effect_record.h"
#include "opcodes.h"

namespace {

struct Named {
    std::int32_t value;
    const char* name;
};

// The name is spelled by the declaration itself, so it cannot drift from it.
#define DK_NAMED(declaration) \
    Named { declaration, #declaration }

constexpr Named kEffectOpcodes[] = {
    DK_NAMED(effOpen),
    DK_NAMED(effClose),
    DK_NAMED(effSetProgram),
    DK_NAMED(effGetProgram),
    DK_NAMED(effSetProgramName),
    DK_NAMED(effGetProgramName),
    DK_NAMED(effGetParamLabel),
    DK_NAMED(effGetParamDisplay),
    DK_NAMED(effGetParamName),
    DK_NAMED(effGetVu),
    DK_NAMED(effSetSampleRate),
    DK_NAMED(effSetBlockSize),
    DK_NAMED(effMainsChanged),
    DK_NAMED(effEditGetRect),
    DK_NAMED(effEditOpen),
    DK_NAMED(effEditClose),
    DK_NAMED(effEditDraw),
    DK_NAMED(effEditMouse),
    DK_NAMED(effEditKey),
    DK_NAMED(effEditIdle),
    DK_NAMED(effEditTop),
    DK_NAMED(effEditSleep),
    DK_NAMED(effIdentify),
    DK_NAMED(effGetChunk),
    DK_NAMED(effSetChunk),
    DK_NAMED(effProcessEvents),
    DK_NAMED(effCanBeAutomated),
    DK_NAMED(effString2Parameter),
    DK_NAMED(effGetNumProgramCategories),
    DK_NAMED(effGetProgramNameIndexed),
    DK_NAMED(effCopyProgram),
    DK_NAMED(effConnectInput),
    DK_NAMED(effConnectOutput),
    DK_NAMED(effGetInputProperties),
    DK_NAMED(effGetOutputProperties),
    DK_NAMED(effGetPlugCategory),
    DK_NAMED(effGetCurrentPosition),
    DK_NAMED(effGetDestinationBuffer),
    DK_NAMED(effOfflineNotify),
    DK_NAMED(effOfflinePrepare),
    DK_NAMED(effOfflineRun),
    DK_NAMED(effProcessVarIo),
    DK_NAMED(effSetSpeakerArrangement),
    DK_NAMED(effSetBlockSizeAndSampleRate),
    DK_NAMED(effSetBypass),
    DK_NAMED(effGetEffectName),
    DK_NAMED(effGetErrorText),
    DK_NAMED(effGetVendorString),
    DK_NAMED(effGetProductString),
    DK_NAMED(effGetVendorVersion),
    DK_NAMED(effVendorSpecific),
    DK_NAMED(effCanDo),
    DK_NAMED(effGetTailSize),
    DK_NAMED(effIdle),
    DK_NAMED(effGetIcon),
    DK_NAMED(effSetViewPosition),
    DK_NAMED(effGetParameterProperties),
    DK_NAMED(effKeysRequired),
    DK_NAMED(effGetVstVersion),
    DK_NAMED(effEditKeyDown),
    DK_NAMED(effEditKeyUp),
    DK_NAMED(effSetEditKnobMode),
    DK_NAMED(effGetMidiProgramName),
    DK_NAMED(effGetCurrentMidiProgram),
    DK_NAMED(effGetMidiProgramCategory),
    DK_NAMED(effHasMidiProgramsChanged),
    DK_NAMED(effGetMidiKeyName),
    DK_NAMED(effBeginSetProgram),
    DK_NAMED(effEndSetProgram),
    DK_NAMED(effGetSpeakerArrangement),
    DK_NAMED(effShellGetNextPlugin),
    DK_NAMED(effStartProcess),
    DK_NAMED(effStopProcess),
    DK_NAMED(effSetTotalSampleToProcess),
    DK_NAMED(effSetPanLaw),
    DK_NAMED(effBeginLoadBank),
    DK_NAMED(effBeginLoadProgram),
    DK_NAMED(effSetProcessPrecision),
    DK_NAMED(effGetNumMidiInputChannels),
    DK_NAMED(effGetNumMidiOutputChannels),
};

constexpr Named kHostOpcodes[] = {
    DK_NAMED(audioMasterAutomate),
    DK_NAMED(audioMasterVersion),
    DK_NAMED(audioMasterCurrentId),
    DK_NAMED(audioMasterIdle),
    DK_NAMED(audioMasterPinConnected),
    DK_NAMED(audioMasterWantMidi),
    DK_NAMED(audioMasterGetTime),
    DK_NAMED(audioMasterTempoAt),
    DK_NAMED(audioMasterGetNumAutomatableParameters),
    DK_NAMED(audioMasterGetParameterQuantization),
    DK_NAMED(audioMasterIOChanged),
    DK_NAMED(audioMasterNeedIdle),
    DK_NAMED(audioMasterSizeWindow),
    DK_NAMED(audioMasterGetSampleRate),
    DK_NAMED(audioMasterGetBlockSize),
    DK_NAMED(audioMasterGetInputLatency),
    DK_NAMED(audioMasterGetOutputLatency),
    DK_NAMED(audioMasterGetPreviousPlug),
    DK_NAMED(audioMasterGetNextPlug),
    DK_NAMED(audioMasterWillReplaceOrAccumulate),
    DK_NAMED(audioMasterGetCurrentProcessLevel),
    DK_NAMED(audioMasterGetAutomationState),
    DK_NAMED(audioMasterOfflineStart),
    DK_NAMED(audioMasterOfflineRead),
    DK_NAMED(audioMasterOfflineWrite),
    DK_NAMED(audioMasterOfflineGetCurrentPass),
    DK_NAMED(audioMasterOfflineGetCurrentMetaPass),
    DK_NAMED(audioMasterSetOutputSampleRate),
    DK_NAMED(audioMasterGetOutputSpeakerArrangement),
    DK_NAMED(audioMasterGetVendorString),
    DK_NAMED(audioMasterGetProductString),
    DK_NAMED(audioMasterGetVendorVersion),
    DK_NAMED(audioMasterVendorSpecific),
    DK_NAMED(audioMasterCanDo),
    DK_NAMED(audioMasterGetLanguage),
    DK_NAMED(audioMasterOpenWindow),
    DK_NAMED(audioMasterCloseWindow),
    DK_NAMED(audioMasterGetDirectory),
    DK_NAMED(audioMasterUpdateDisplay),
    DK_NAMED(audioMasterBeginEdit),
    DK_NAMED(audioMasterEndEdit),
    DK_NAMED(audioMasterOpenFileSelector),
    DK_NAMED(audioMasterCloseFileSelector),
    DK_NAMED(audioMasterGetChunkFile),
    DK_NAMED(audioMasterGetInputSpeakerArrangement),
};

constexpr Named kEffectFlags[] = {
    DK_NAMED(effFlagsHasClip),       DK_NAMED(effFlagsHasVu),
    DK_NAMED(effFlagsCanMono),       DK_NAMED(effFlagsCanReplacing),
    DK_NAMED(effFlagsProgramChunks), DK_NAMED(effFlagsIsSynth),
    DK_NAMED(effFlagsNoSoundInStop), DK_NAMED(effFlagsExtIsAsync),
    DK_NAMED(effFlagsExtHasBuffer),  DK_NAMED(effFlagsCanDoubleReplacing),
};

#undef DK_NAMED

template <std::size_t N>
std::string nameIn(const Named (&table)[N], std::int32_t value) {
    for (const Named& entry : table)
        if (entry.value == value) return entry.name;
    return "opcode " + std::to_string(value);
}

}  // namespace

std::string effectOpcodeName(std::int32_t opcode) { return nameIn(kEffectOpcodes, opcode); }

std::string hostOpcodeName(std::int32_t opcode) { return nameIn(kHostOpcodes, opcode); }

std::vector<std::string> effectFlagNames(std::int32_t flags) {
    constexpr std::string_view kPrefix = "effFlags";
    std::vector<std::string> names;
    for (int bit = 0; bit < 32; ++bit) {
        const auto mask = static_cast<std::int32_t>(std::uint32_t{1} << bit);
        if ((flags & mask) == 0) continue;
        char unnamed[32];
        std::snprintf(unnamed, sizeof unnamed, "unnamed flag 0x%x", static_cast<unsigned>(mask));
        std::string name = unnamed;
        for (const Named& entry : kEffectFlags)
            if (entry.value == mask) name = std::string_view(entry.name).substr(kPrefix.size());
        names.push_back(std::move(name));
    }
    return names;
}

std::string fourCharText(std::int32_t code) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto c = static_cast<unsigned char>(static_cast<std::uint32_t>(code) >> shift);
        if (c >= 0x20 && c < 0x7f) {
            text += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            text += escaped;
        }
    }
    return text;
}
