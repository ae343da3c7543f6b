// The wobble effect: a low-pass per channel whose cut-off sweeps between two
// frequencies in time with the host's musical position.
#pragma once

#include <cstdint>

#include "biquad.h"
#include "frame/audio_effect_x.h"

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

    std::int32_t periodIndex;
    float freq1;
    float freq2;
    float mix;
    float q;
    BiquadState filter1;
    BiquadState filter2;
};
