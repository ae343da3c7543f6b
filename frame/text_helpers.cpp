// Value-to-text helpers: numbers as the short texts of parameter displays.
// All working text lives in fixed local storage; nothing here allocates.
#include <cmath>
#include <cstdint>

#include "audio_effect.h"
#include "text_copy.h"

namespace {

// float2string always renders this many characters (or "Huge!" / "NaN").
constexpr std::int32_t kFloatWidth = 8;
constexpr double kLargestPositive = 99999999.0;
constexpr double kLargestNegative = 9999999.0;  // magnitude; the '-' takes one character

// Truncated last decimal digit of a non-negative value; a quotient that keeps
// its fraction still yields the digit of its integer part.
char lastDigit(double value) { return static_cast<char>('0' + static_cast<int>(std::fmod(value, 10.0))); }

}  // namespace

void AudioEffect::dB2string(float value, char* text, std::int32_t maxLen) {
    if (maxLen < 0) return;  // float2string may be replaced; a negative bound must not reach it
    if (value <= 0.0f) return copyBounded(text, "-oo", maxLen);
    float2string(static_cast<float>(20.0 * std::log10(static_cast<double>(value))), text, maxLen);
}

void AudioEffect::Hz2string(float samples, char* text, std::int32_t maxLen) {
    if (maxLen < 0) return;
    if (samples == 0.0f) return float2string(0.0f, text, maxLen);
    // A quotient that is not finite is rendered soundly by float2string: "Huge!" or "NaN".
    float2string(getSampleRate() / samples, text, maxLen);
}

void AudioEffect::ms2string(float samples, char* text, std::int32_t maxLen) {
    if (maxLen < 0) return;
    // No samples last no time at any rate; at a rate of 0 any other count is "Huge!".
    if (samples == 0.0f) return float2string(0.0f, text, maxLen);
    const double ms = (static_cast<double>(samples) * 1000.0) / static_cast<double>(getSampleRate());
    float2string(static_cast<float>(ms), text, maxLen);
}

void AudioEffect::float2string(float value, char* text, std::int32_t maxLen) {
    double v = value;
    if (std::isnan(v)) return copyBounded(text, "NaN", maxLen);
    const bool negative = v < 0.0;  // -0.0 shows without a sign
    if (negative) v = -v;
    if (v > (negative ? kLargestNegative : kLargestPositive)) return copyBounded(text, "Huge!", maxLen);

    // Integer digits, least significant first, each taking one place from the fraction.
    char integerDigits[kFloatWidth];
    std::int32_t digitCount = 0;
    std::int32_t count = (negative ? 1 : 0) + 1;  // the sign and the point
    double integ = std::floor(v);
    do {
        integerDigits[digitCount++] = lastDigit(integ);
        integ = integ / 10.0;
        ++count;
    } while (integ >= 1.0 && count < kFloatWidth);
    // Eight integer digits, or seven beside the '-', leave no room for the
    // point: such values show as a whole number rather than lose a leading digit.
    const bool withPoint = integ < 1.0;
    if (!withPoint) integerDigits[digitCount++] = lastDigit(integ);

    char rendering[kFloatWidth + 1];
    std::int32_t length = 0;
    if (negative) rendering[length++] = '-';
    while (digitCount > 0) rendering[length++] = integerDigits[--digitCount];
    if (withPoint) {
        rendering[length++] = '.';
        // Fractional digits are truncated, produced from the last to the first.
        const std::int32_t places = kFloatWidth - count;
        double m = std::fmod(v, 1.0) * std::pow(10.0, places);
        for (std::int32_t i = length + places - 1; i >= length; --i) {
            if (m <= 0.0) {
                rendering[i] = '0';
            } else {
                rendering[i] = lastDigit(m);
                m = m / 10.0;
            }
        }
        length += places;
    }
    rendering[length] = '\0';
    copyBounded(text, rendering, maxLen);
}

void AudioEffect::int2string(std::int32_t value, char* text, std::int32_t maxLen) {
    if (value >= 100000000) return copyBounded(text, "Huge!", maxLen);
    char rendering[12];  // '-', ten digits, NUL
    std::int32_t length = 0;
    // Unsigned, so that the most negative value has a magnitude too; the
    // places start at 10^9 so that every negative value keeps all its digits.
    std::uint32_t magnitude = static_cast<std::uint32_t>(value);
    if (value < 0) {
        rendering[length++] = '-';
        magnitude = 0u - magnitude;
    }
    bool started = false;
    for (std::uint32_t place = 1000000000u; place > 0u; place /= 10u) {
        const std::uint32_t digit = magnitude / place;
        magnitude -= digit * place;
        started = started || digit != 0u || place == 1u;
        if (started) rendering[length++] = static_cast<char>('0' + digit);
    }
    rendering[length] = '\0';
    copyBounded(text, rendering, maxLen);
}
