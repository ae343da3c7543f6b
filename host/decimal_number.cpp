#include "decimal_number.h"

#include <charconv>
#include <cmath>

namespace vsthost {

std::optional<double> parseDecimal(std::string_view text) {
    // from_chars takes no leading '+', which people do type.
    const bool plus = !text.empty() && text.front() == '+';
    if (plus) text.remove_prefix(1);
    if (text.empty() || (plus && text.front() == '-')) return std::nullopt;
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

}  // namespace vsthost
