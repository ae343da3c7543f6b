// Reading a number back out of a parameter's display text: "300", "-6.0 dB",
// "1/8", "1/8T" (a triplet), "1/8." (dotted), "4.000000", "50 %", "-inf dB".
// A text with digits after its number ("1:2", "Band 3 Q") is not a single
// number.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vsthost {

struct DisplayValue {
    double value;
    // How far the shown number may be from a number it stands for: half a
    // unit of its last digit; zero for fractions and infinities.
    double resolution;

    bool shows(double number) const;
};

std::optional<DisplayValue> parseDisplayValue(std::string_view text);

// Trimmed, lower case, inner runs of spaces made one: how texts are compared.
std::string canonicalText(std::string_view text);

}  // namespace vsthost
