// What a user types for a parameter, against the parameter's label and the
// display texts at the ends of its range. The input is lines: the label,
// the lowest and the highest display, then the typed text. The readers
// answer numbers (never NaN) or nothing, and a number they answer reads
// back from its own text as the parameter's display would show it.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "host/plugin/display_value.h"
#include "host/text/decimal_number.h"
#include "host/text/trimmed.h"
#include "host/text/typed_value.h"

namespace {

void require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

// The next line of `rest`, taken off it.
std::string_view nextLine(std::string_view& rest) {
    const std::size_t end = rest.find('\n');
    const std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
    return line;
}

void display(std::string_view text) {
    const std::optional<vsthost::DisplayValue> shown = vsthost::parseDisplayValue(text);
    if (shown) {
        require(!std::isnan(shown->value), "a display read as NaN");
        require(shown->resolution >= 0.0, "a display with a negative or NaN resolution");
        require(shown->shows(shown->value), "a display that does not show its own number");
    }
    const std::string canonical = vsthost::canonicalText(text);
    require(vsthost::canonicalText(canonical) == canonical, "canonical text that changes when made canonical again");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    const std::string_view label = nextLine(rest);
    // The range as the parameter shows it at its ends.
    display(nextLine(rest));
    display(nextLine(rest));
    const std::string_view typedText = rest;
    display(typedText);

    require(!vsthost::acceptedForms(label).empty(), "no forms named for a label");
    const std::optional<vsthost::TypedValue> typed = vsthost::parseTypedValue(typedText);
    // A plain number reads as the same number here as everywhere else.
    if (const std::optional<double> plain = vsthost::parseDecimal(vsthost::trimmed(typedText)))
        require(typed && typed->unit.empty() && typed->number == *plain, "a plain number read as another");
    if (!typed) return 0;
    require(!std::isnan(typed->number), "a typed number read as NaN");
    require(typedText.find(typed->unit) != std::string_view::npos, "a unit that is not in the typed text");
    const std::optional<double> inUnits = vsthost::inLabelUnits(*typed, label);
    if (!inUnits) return 0;
    require(!std::isnan(*inUnits), "a number in the label's units that is NaN");
    if (typed->unit.empty()) require(*inUnits == typed->number, "a bare number changed by the label");
    if (!std::isfinite(*inUnits)) return 0;
    // The host finds the setting whose display shows the typed number.
    const std::optional<vsthost::DisplayValue> back = vsthost::parseDisplayValue(vsthost::numberText(*inUnits));
    require(back && back->shows(*inUnits), "a number that its own text does not show");
    return 0;
}
