// A parameter value as a musician types it: a number with the unit of the
// parameter's label or a multiple of it ("20kHz", "4 kHz", "1.5k", "-6 dB",
// "-inf dB", "50%", "250 ms"), or a note value: whole numbers N/M, "T" after
// them for a triplet, "." for dotted ("1/8", "3/16", "1/8T", "1/8."). Text
// that is neither, such as "On", is left to the caller; so is "1/8.0", which
// could mean 1/8 or a mistyped dotted 1/8, and is refused rather than guessed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vsthost {

struct TypedValue {
    double number;     // a note value as its fraction of a whole note
    std::string unit;  // what followed the number, spaces around it removed
    bool note = false;
    // A note value as a reduced fraction of a whole note, for messages: a
    // dotted 1/8 is 3/16.
    std::uint64_t numerator = 0;
    std::uint64_t denominator = 0;
    enum class Kind { plain, triplet, dotted } kind = Kind::plain;
};

// Nothing when the text does not begin with a number (after a sign), or
// begins with a note value followed by more of a number ("1/8.0", "1.5/8").
std::optional<TypedValue> parseTypedValue(std::string_view text);

// What a note value lasts as a fraction of a whole note: "3/16" for "1/8.".
std::string noteFraction(const TypedValue& value);

// The number in the units of `label`: "20kHz" under "Hz" is 20000, "250 ms"
// under "s" is 0.25, a bare number is already in them. Nothing when the
// unit is neither the label's nor a multiple of it.
std::optional<double> inLabelUnits(const TypedValue& value, std::string_view label);

// The forms inLabelUnits() takes under `label`, for messages:
// "a number in Hz, as 300, 300 Hz, 1.5 kHz or 1.5k".
std::string acceptedForms(std::string_view label);

}  // namespace vsthost
