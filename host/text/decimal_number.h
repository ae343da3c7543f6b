// Numbers typed on the command line or found in a file: a whole text that is
// one finite decimal or whole number, nothing before or after it. And numbers
// written back into messages and pictures.
#pragma once

#include <charconv>
#include <optional>
#include <string>
#include <string_view>

namespace vsthost {

std::optional<double> parseDecimal(std::string_view text);

// A whole number of the type's range, digits only (and a '-' for signed types).
template <typename Whole>
std::optional<Whole> parseWholeNumber(std::string_view text) {
    Whole value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// The shortest text that reads back as the same number ("0.1", "140", "1e-07").
std::string numberText(double value);
std::string numberText(float value);  // as a float: 0.1f is "0.1"

// "1.414000" as "1.414" and "140.000000" as "140": a plain decimal padded with
// zeros reads badly. Any text that is not a plain decimal comes back as it is.
std::string withoutTrailingZeros(std::string text);

}  // namespace vsthost
