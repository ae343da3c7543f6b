#include "display_value.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace vsthost {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    return true;
}

struct Decimal {
    double value;
    int decimals;  // digits after the point, less the exponent
    std::size_t length;
};

// An unsigned decimal number at the start of `text`.
std::optional<Decimal> scanDecimal(std::string_view text) {
    std::size_t i = 0;
    int digits = 0;
    int decimals = 0;
    while (i < text.size() && isDigit(text[i])) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && isDigit(text[i])) ++i, ++digits, ++decimals;
    }
    if (digits == 0) return std::nullopt;
    if (i + 1 < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        const bool negative = text[j] == '-';
        if (text[j] == '+' || negative) ++j;
        if (j < text.size() && isDigit(text[j])) {
            // Held far past any double's exponent, so that a long one cannot overflow.
            constexpr int kLargest = 100'000;
            int exponent = 0;
            for (; j < text.size() && isDigit(text[j]); ++j)
                exponent = std::min(exponent * 10 + (text[j] - '0'), kLargest);
            decimals += negative ? exponent : -exponent;
            i = j;
        }
    }
    return Decimal{std::strtod(std::string(text.substr(0, i)).c_str(), nullptr), decimals, i};
}

// A note value's "T" (a triplet, two thirds as long), "." or "D" (dotted,
// half as long again) right after its fraction, as in "1/8T", "1/8.", "1/4D";
// answers where the text goes on.
std::size_t noteModifier(std::string_view text, std::size_t at, double& value) {
    if (at >= text.size()) return at;
    const char c = text[at];
    const bool ends = at + 1 == text.size() || !std::isalnum(static_cast<unsigned char>(text[at + 1]));
    if ((c == 'T' || c == 't') && ends) {
        value = value * 2.0 / 3.0;
        return at + 1;
    }
    if ((c == 'D' || c == 'd' || c == '.') && ends) {
        value *= 1.5;
        return at + 1;
    }
    return at;
}

}  // namespace

bool DisplayValue::shows(double number) const {
    if (std::isinf(value) || std::isinf(number)) return value == number;
    // A little slack for the binary form of decimal fractions.
    const double slack = 1e-9 * std::max(1.0, std::fabs(number));
    return std::fabs(value - number) <= resolution + slack;
}

std::optional<DisplayValue> parseDisplayValue(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    double sign = 1.0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        if (text[i] == '-') sign = -1.0;
        ++i;
        while (i < text.size() && text[i] == ' ') ++i;
    }
    std::string_view rest = text.substr(i);
    DisplayValue result{};
    std::size_t used = 0;
    if (startsWithNoCase(rest, "inf")) {
        result = {sign * std::numeric_limits<double>::infinity(), 0.0};
        used = startsWithNoCase(rest, "infinity") ? 8 : 3;
    } else {
        const std::optional<Decimal> number = scanDecimal(rest);
        if (!number) return std::nullopt;
        used = number->length;
        result = {sign * number->value, 0.5 * std::pow(10.0, -number->decimals)};
        if (used + 1 < rest.size() && rest[used] == '/') {
            // A note value's denominator is whole: the point of "1/8." makes it dotted.
            std::size_t digits = 0;
            while (used + 1 + digits < rest.size() && isDigit(rest[used + 1 + digits])) ++digits;
            const double denominator = std::strtod(std::string(rest.substr(used + 1, digits)).c_str(), nullptr);
            if (digits > 0 && denominator != 0.0 && std::isfinite(denominator)) {
                result = {result.value / denominator, 0.0};
                used = noteModifier(rest, used + 1 + digits, result.value);
            }
        }
    }
    for (char c : rest.substr(used))
        if (isDigit(c)) return std::nullopt;
    return result;
}

std::string canonicalText(std::string_view text) {
    std::string out;
    bool space = false;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c))) {
            space = !out.empty();
            continue;
        }
        if (space) out += ' ';
        space = false;
        out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

}  // namespace vsthost
