// Placeholder until the parameter table is written.
#include "tolvane_vst.h"

void TolvaneVST::setParameter(std::int32_t /*index*/, float /*value*/) {}
float TolvaneVST::getParameter(std::int32_t /*index*/) { return 0.0f; }
void TolvaneVST::getParameterLabel(std::int32_t index, char* label) { AudioEffectX::getParameterLabel(index, label); }
void TolvaneVST::getParameterDisplay(std::int32_t index, char* text) { AudioEffectX::getParameterDisplay(index, text); }
void TolvaneVST::getParameterName(std::int32_t index, char* text) { AudioEffectX::getParameterName(index, text); }
