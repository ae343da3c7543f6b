#include "typed_value.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <numeric>
#include <string>

#include "trimmed.h"

namespace vsthost {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string lowercase(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// An unsigned decimal with an optional exponent at the start of `text`;
// answers its length, 0 when there is none.
std::size_t decimalLength(std::string_view text) {
    std::size_t i = 0;
    std::size_t digits = 0;
    while (i < text.size() && isDigit(text[i])) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        std::size_t j = i + 1;
        while (j < text.size() && isDigit(text[j])) ++j, ++digits;
        if (digits > 0) i = j;
    }
    if (digits == 0) return 0;
    // An exponent only when digits follow, so "2e" stays a number and a unit.
    if (i + 1 < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (text[j] == '+' || text[j] == '-') ++j;
        if (j < text.size() && isDigit(text[j])) {
            while (j < text.size() && isDigit(text[j])) ++j;
            i = j;
        }
    }
    return i;
}

std::size_t wholeLength(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isDigit(text[i])) ++i;
    return i;
}

// A note value's numerator or denominator; far past any note, so that a
// dotted or triplet fraction of it stays exact.
std::optional<std::uint64_t> wholeValue(std::string_view digits) {
    constexpr std::uint64_t kMost = 1'000'000'000'000;
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc{} || end != digits.data() + digits.size() || value > kMost) return std::nullopt;
    return value;
}

// "inf" or "infinity" at the start of `text`, any case; answers its length.
std::size_t infinityLength(std::string_view text) {
    const std::string lower = lowercase(text.substr(0, 8));
    if (lower == "infinity") return 8;
    return lower.rfind("inf", 0) == 0 ? 3 : 0;
}

double decimalValue(std::string_view text) {
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    // from_chars leaves a number past a double's range unread; strtod makes it
    // infinite when too large, zero when too small ("1e999" is no zero).
    if (error == std::errc::result_out_of_range) value = std::strtod(std::string(text).c_str(), nullptr);
    return value;
}

// The units whose multiples are taken, each with the prefixes people type.
struct Prefix {
    std::string_view text;
    double factor;
};
struct Unit {
    std::string_view name;  // lower case, as compared
    std::string_view shown;
    std::array<Prefix, 3> prefixes;
    std::string_view example;  // for messages
    std::string_view units;
};

constexpr std::array kUnits{
    Unit{"hz", "Hz", {{{"k", 1e3}, {"m", 1e6}, {"", 0.0}}}, "300, 300 Hz, 1.5 kHz or 1.5k", "Hz, kHz"},
    Unit{"s", "s", {{{"m", 1e-3}, {"u", 1e-6}, {"µ", 1e-6}}}, "0.25, 0.25 s or 250 ms", "s, ms"},
    Unit{"db", "dB", {{{"", 0.0}, {"", 0.0}, {"", 0.0}}}, "-6, -6 dB or -6dB", "dB"},
    Unit{"%", "%", {{{"", 0.0}, {"", 0.0}, {"", 0.0}}}, "50, 50 % or 50%", "%"},
};

// Words that stand for a unit's name.
std::string_view synonym(std::string_view unit) {
    if (unit == "sec" || unit == "secs" || unit == "seconds" || unit == "second") return "s";
    if (unit == "msec" || unit == "msecs") return "ms";
    if (unit == "percent") return "%";
    return unit;
}

struct Scaled {
    const Unit* unit;  // null for a label of no unit this knows
    double factor;
};

// "kHz" as kilo-hertz, "ms" as milli-seconds, "Hz" as hertz itself.
std::optional<Scaled> scaled(std::string_view text) {
    const std::string lower = lowercase(text);
    const std::string_view word = synonym(lower);
    for (const Unit& unit : kUnits) {
        if (word == unit.name) return Scaled{&unit, 1.0};
        for (const Prefix& prefix : unit.prefixes) {
            if (prefix.text.empty()) continue;
            if (word.size() == prefix.text.size() + unit.name.size() &&
                word.substr(0, prefix.text.size()) == prefix.text && word.substr(prefix.text.size()) == unit.name)
                return Scaled{&unit, prefix.factor};
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<TypedValue> parseTypedValue(std::string_view text) {
    text = trimmed(text);
    std::size_t i = 0;
    double sign = 1.0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        sign = text[i] == '-' ? -1.0 : 1.0;
        ++i;
    }
    // "-inf dB": the bottom of a level's range as its display shows it.
    if (const std::size_t length = infinityLength(text.substr(i)); length > 0) {
        if (i + length < text.size() && std::isalpha(static_cast<unsigned char>(text[i + length]))) return std::nullopt;
        return TypedValue{sign * std::numeric_limits<double>::infinity(),
                          std::string(trimmed(text.substr(i + length)))};
    }
    const std::size_t whole = wholeLength(text.substr(i));
    if (whole > 0 && i + whole < text.size() && text[i + whole] == '/') {
        const std::size_t below = i + whole + 1;
        const std::size_t denominatorLength = wholeLength(text.substr(below));
        const auto numerator = wholeValue(text.substr(i, whole));
        const auto denominator = wholeValue(text.substr(below, denominatorLength));
        if (denominatorLength > 0 && numerator && denominator && *denominator != 0) {
            TypedValue value{sign * static_cast<double>(*numerator) / static_cast<double>(*denominator), "", true,
                             *numerator, *denominator};
            std::size_t end = below + denominatorLength;
            // A triplet lasts two thirds of the note, a dotted note half as long again.
            if (end < text.size() && (text[end] == 'T' || text[end] == 't')) {
                value.kind = TypedValue::Kind::triplet;
                value.number = value.number * 2.0 / 3.0;
                value.numerator *= 2;
                value.denominator *= 3;
                ++end;
            } else if (end < text.size() && text[end] == '.') {
                value.kind = TypedValue::Kind::dotted;
                value.number = value.number * 1.5;
                value.numerator *= 3;
                value.denominator *= 2;
                ++end;
            }
            // "1/8.0" or "1/8.5": a decimal in a note value, read neither as 1/8 nor as dotted.
            if (end < text.size() && (isDigit(text[end]) || text[end] == '.')) return std::nullopt;
            const std::uint64_t common = std::gcd(value.numerator, value.denominator);
            value.numerator /= common;
            value.denominator /= common;
            value.unit = std::string(trimmed(text.substr(end)));
            return value;
        }
    }
    const std::size_t length = decimalLength(text.substr(i));
    if (length == 0) return std::nullopt;
    // "1.5/8": a note value is whole numbers.
    if (i + length < text.size() && text[i + length] == '/' && length != whole &&
        wholeLength(text.substr(i + length + 1)) > 0)
        return std::nullopt;
    TypedValue value{sign * decimalValue(text.substr(i, length)), "", false};
    value.unit = std::string(trimmed(text.substr(i + length)));
    return value;
}

std::string noteFraction(const TypedValue& value) {
    return std::to_string(value.numerator) + "/" + std::to_string(value.denominator);
}

std::optional<double> inLabelUnits(const TypedValue& value, std::string_view label) {
    if (value.unit.empty()) return value.number;
    label = trimmed(label);
    if (value.note) return std::nullopt;
    const std::optional<Scaled> labelUnit = scaled(label);
    if (!labelUnit) {
        // A unit this does not know is taken only as the label spells it.
        if (!label.empty() && lowercase(value.unit) == lowercase(label)) return value.number;
        return std::nullopt;
    }
    // "1.5k" under a label in hertz.
    if (lowercase(value.unit) == "k" && labelUnit->unit->name == "hz") return value.number * 1e3 / labelUnit->factor;
    const std::optional<Scaled> typed = scaled(value.unit);
    if (!typed || typed->unit != labelUnit->unit) return std::nullopt;
    return value.number * typed->factor / labelUnit->factor;
}

std::string acceptedForms(std::string_view label) {
    label = trimmed(label);
    if (label.empty()) return "a plain number";
    const std::optional<Scaled> labelUnit = scaled(label);
    if (!labelUnit) return "a number in " + std::string(label) + ", with or without '" + std::string(label) + "'";
    if (labelUnit->factor == 1.0)
        return "a number in " + std::string(label) + ", as " + std::string(labelUnit->unit->example);
    return "a number in " + std::string(label) + ", or with a unit of " + std::string(labelUnit->unit->shown) + " (" +
           std::string(labelUnit->unit->units) + ")";
}

}  // namespace vsthost
