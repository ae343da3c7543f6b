#include "tolvane_vst.h"

#include "frame/text_copy.h"

namespace {

constexpr std::int32_t kPrograms = 1;
constexpr std::int32_t kParameters = 5;
constexpr std::int32_t kIdentityBound = 24;
constexpr const char* kProductName = "Dravelkint";
constexpr const char* kVendorName = "Sorpenwalde";

}  // namespace

AudioEffect* createEffectInstance(audioMasterCallback host) { return new (std::nothrow) TolvaneVST(host); }

TolvaneVST::TolvaneVST(audioMasterCallback host)
    : AudioEffectX(host, kPrograms, kParameters),
      periodIndex(6),
      freq1(500.0f),
      freq2(20000.0f),
      mix(1.0f),
      q(1.414f),
      filter1(passThrough),
      filter2(passThrough) {
    setNumInputs(2);
    setNumOutputs(2);
    isSynth(false);
    canProcessReplacing(true);
    setUniqueID(fourCharCode('k', 'Z', 'r', 'n'));
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
