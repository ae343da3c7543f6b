// Value-to-text helpers: placeholder texts until the helpers are written.
#include "audio_effect.h"
#include "text_copy.h"

void AudioEffect::dB2string(float /*value*/, char* text, std::int32_t maxLen) { copyBounded(text, "", maxLen); }
void AudioEffect::Hz2string(float /*samples*/, char* text, std::int32_t maxLen) { copyBounded(text, "", maxLen); }
void AudioEffect::ms2string(float /*samples*/, char* text, std::int32_t maxLen) { copyBounded(text, "", maxLen); }
void AudioEffect::float2string(float /*value*/, char* text, std::int32_t maxLen) { copyBounded(text, "", maxLen); }
void AudioEffect::int2string(std::int32_t /*value*/, char* text, std::int32_t maxLen) { copyBounded(text, "", maxLen); }
