// The wobble effect as a VST 2.4 plug-in: a low-pass per channel whose
// cut-off sweeps between two frequencies in time with the host's musical
// position. The sound is the Wobble's; this class binds it to the frame.
#pragma once

#include <cstdint>

#include "frame/audio_effect_x.h"
#include "wobble.h"

class TolvaneVST : public AudioEffectX {
public:
    explicit TolvaneVST(audioMasterCallback host);

    void processReplacing(float** inputs, float** outputs, std::int32_t sampleFrames) override;

    void setParameter(std::int32_t index, float value) override;
    float getParameter(std::int32_t index) override;
    void getParameterLabel(std::int32_t index, char* label) override;
    void getParameterDisplay(std::int32_t index, char* text) override;
    void getParameterName(std::int32_t index, char* text) override;

    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;

private:
    friend struct ParameterTable;

    Wobble wobble;
};
