// A parameter value as a musician types it: a number with the unit of the
// parameter's label or a multiple of it ("20kHz", "4 kHz", "1.5k", "-6 dB",
// "50%", "250 ms"), or a note value ("1/8", "1/8T" for a triplet, "1/8."
// dotted). Text that is neither, such as "On", is left to the caller.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vsthost {

struct TypedValue {
    double number;     // a note value as its fraction of a whole note
    std::string unit;  // what followed the number, spaces around it removed
    bool note = false;
};

// Nothing when the text does not begin with a number (after a sign).
std::optional<TypedValue> parseTypedValue(std::string_view text);

// The number in the units of `label`: "20kHz" under "Hz" is 20000, "250 ms"
// under "s" is 0.25, a bare number is already in them. Nothing when the
// unit is neither the label's nor a multiple of it.
std::optional<double> inLabelUnits(const TypedValue& value, std::string_view label);

// The forms inLabelUnits() takes under `label`, for messages:
// "a number in Hz, as 300, 300 Hz, 1.5 kHz or 1.5k".
std::string acceptedForms(std::string_view label);

}  // namespace vsthost
