#include "tolvane_vst.h"

#include <cmath>

#include "frame/text_copy.h"

namespace {

constexpr std::int32_t kPrograms = 1;
constexpr std::int32_t kParameters = 5;
constexpr std::int32_t kIdentityBound = 24;
constexpr const char* kProductName = "Dravelkint";
constexpr const char* kVendorName = "Sorpenwalde";

// A missing answer, a cleared flag or a value that is not finite all mean the
// same to the sweep: the start of the song at 120 beats per minute.
SongPosition readTransport(const VstTimeInfo* time) {
    SongPosition transport{0.0, 120.0};
    if (time == nullptr) return transport;
    if ((time->flags & kVstPpqPosValid) != 0 && std::isfinite(time->ppqPos)) transport.position = time->ppqPos;
    if ((time->flags & kVstTempoValid) != 0 && std::isfinite(time->tempo)) transport.tempo = time->tempo;
    return transport;
}

}  // namespace

AudioEffect* createEffectInstance(audioMasterCallback host) { return new (std::nothrow) TolvaneVST(host); }

TolvaneVST::TolvaneVST(audioMasterCallback host) : AudioEffectX(host, kPrograms, kParameters) {
    setNumInputs(2);
    setNumOutputs(2);
    isSynth(false);
    canProcessReplacing(true);
    setUniqueID(fourCharCode('k', 'Z', 'r', 'n'));
}

// The host is asked for the transport once per call, after the period is read.
void TolvaneVST::processReplacing(float** inputs, float** outputs, std::int32_t sampleFrames) {
    wobble.process(inputs, outputs, sampleFrames, sampleRate,
                   [this] { return readTransport(getTimeInfo(kVstPpqPosValid | kVstTempoValid)); });
}

bool TolvaneVST::getEffectName(char* name) {
    copyBounded(name, kProductName, kIdentityBound);
    return true;
}

bool TolvaneVST::getVendorString(char* text) {
    copyBounded(text, kVendorName, kIdentityBound);
    return true;
}

bool TolvaneVST::getProductString(char* text) {
    copyBounded(text, kProductName, kIdentityBound);
    return true;
}
