#include "parameter_search.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "display_value.h"
#include "host/text/decimal_number.h"
#include "host/text/failure.h"
#include "host/text/trimmed.h"
#include "host/text/typed_value.h"
#include "plugin_instance.h"

namespace vsthost {

namespace {

// Grid of the first scan; the values i / kGrid are exact floats.
constexpr int kGrid = 1024;
// A display with at most this many texts is a choice among steps (a note
// value, a mode, a switch) rather than a continuous value.
constexpr std::size_t kMostSteps = 24;

class DisplayProbe {
public:
    DisplayProbe(PluginInstance& plugin, std::int32_t index) : plugin(plugin), index(index) {}

    std::string at(float x) {
        plugin.setParameter(index, x);
        return plugin.parameterDisplay(index);
    }

private:
    PluginInstance& plugin;
    std::int32_t index;
};

// The first float in (a, b] at which `holds` is true, given that it is false
// at a and true at b. Non-negative floats order like their bit patterns.
template <typename Predicate>
float firstWhere(float a, float b, Predicate holds) {
    std::uint32_t lo = std::bit_cast<std::uint32_t>(a);
    std::uint32_t hi = std::bit_cast<std::uint32_t>(b);
    while (hi - lo > 1) {
        const std::uint32_t mid = lo + (hi - lo) / 2;
        if (holds(std::bit_cast<float>(mid)))
            hi = mid;
        else
            lo = mid;
    }
    return std::bit_cast<float>(hi);
}

struct Scan {
    std::vector<float> x;
    std::vector<std::string> text;
    std::vector<std::optional<DisplayValue>> value;
};

Scan scan(DisplayProbe& probe) {
    Scan s;
    for (int i = 0; i <= kGrid; ++i) {
        const float x = static_cast<float>(i) / kGrid;
        s.x.push_back(x);
        s.text.push_back(probe.at(x));
        s.value.push_back(parseDisplayValue(s.text.back()));
    }
    return s;
}

int side(const DisplayValue& shown, double wanted) {
    if (shown.shows(wanted)) return 0;
    return shown.value < wanted ? -1 : 1;
}

std::optional<float> findNumber(DisplayProbe& probe, const Scan& s, double wanted, std::string& nearest) {
    auto sideAt = [&](float x) -> std::optional<int> {
        const std::optional<DisplayValue> shown = parseDisplayValue(probe.at(x));
        if (!shown) return std::nullopt;
        return side(*shown, wanted);
    };
    for (int i = 0; i <= kGrid; ++i) {
        if (!s.value[i]) continue;
        const int here = side(*s.value[i], wanted);
        if (here == 0) {
            if (i == 0) return s.x[0];
            return firstWhere(s.x[i - 1], s.x[i], [&](float x) { return sideAt(x) == 0; });
        }
        if (i == 0 || !s.value[i - 1]) continue;
        const int before = side(*s.value[i - 1], wanted);
        if (before == here) continue;
        // The display crosses the wanted number between two grid points.
        const float x = firstWhere(s.x[i - 1], s.x[i], [&](float x) { return sideAt(x) != before; });
        const std::string shown = probe.at(x);
        const std::optional<DisplayValue> value = parseDisplayValue(shown);
        if (value && value->shows(wanted)) return x;
        if (nearest.empty())
            nearest =
                trimmed(probe.at(std::bit_cast<float>(std::bit_cast<std::uint32_t>(x) - 1))) + " and " + trimmed(shown);
    }
    return std::nullopt;
}

std::optional<float> findText(DisplayProbe& probe, const Scan& s, const std::string& wanted) {
    auto showsWanted = [&](float x) { return canonicalText(probe.at(x)) == wanted; };
    for (int i = 0; i <= kGrid; ++i) {
        if (canonicalText(s.text[i]) != wanted) continue;
        // The middle of the run of values that show it, for a choice among named settings.
        int last = i;
        while (last < kGrid && canonicalText(s.text[last + 1]) == wanted) ++last;
        const float low = i == 0 ? 0.0f : firstWhere(s.x[i - 1], s.x[i], showsWanted);
        const float high =
            last == kGrid ? 1.0f : firstWhere(s.x[last], s.x[last + 1], [&](float x) { return !showsWanted(x); });
        const float middle = low + (high - low) / 2.0f;
        return showsWanted(middle) ? middle : low;
    }
    return std::nullopt;
}

std::string rangeText(const Scan& s, const std::string& label) {
    int low = -1;
    int high = -1;
    for (int i = 0; i <= kGrid; ++i) {
        if (!s.value[i]) continue;
        if (low < 0 || s.value[i]->value < s.value[low]->value) low = i;
        if (high < 0 || s.value[i]->value > s.value[high]->value) high = i;
    }
    if (low < 0) return "";
    // In the order the normalised range runs through them.
    if (low > high) std::swap(low, high);
    std::string text =
        withoutTrailingZeros(trimmed(s.text[low])) + " to " + withoutTrailingZeros(trimmed(s.text[high]));
    if (!label.empty()) text += " " + label;
    return text;
}

// The texts in the order the normalised range runs through them.
std::vector<std::string> steps(const Scan& s) {
    std::vector<std::string> seen;
    for (const std::string& t : s.text) {
        const std::string shown = trimmed(t);
        if (seen.empty() || seen.back() != shown) seen.push_back(shown);
    }
    return seen;
}

std::string shownTexts(const Scan& s) {
    std::string list;
    std::size_t count = 0;
    for (const std::string& shown : steps(s)) {
        if (++count > kMostSteps) return list + ", ...";
        list += (list.empty() ? "" : ", ") + shown;
    }
    return list;
}

bool showsNoteValues(const Scan& s) {
    for (const std::string& t : s.text)
        if (t.find('/') != std::string::npos && parseDisplayValue(t)) return true;
    return false;
}

// What a number for this parameter may look like, for messages.
std::string forms(const Scan& s, const std::string& label) {
    if (showsNoteValues(s))
        return "a note value such as 1/8, 1/8T (a triplet) or 1/8. (dotted); it shows " + shownTexts(s);
    return acceptedForms(label);
}

}  // namespace

std::int32_t findParameter(const PluginInstance& plugin, std::string_view name) {
    const std::string wanted = canonicalText(name);
    std::string names;
    for (std::int32_t i = 0; i < plugin.parameterCount(); ++i) {
        const std::string own = plugin.parameterName(i);
        if (canonicalText(own) == wanted) return i;
        names += (names.empty() ? "" : ", ") + trimmed(own);
    }
    throw Failure(FailureKind::usage,
                  "unknown parameter '" + std::string(name) + "'" +
                      (names.empty() ? "; the plug-in has no parameters" : "; the plug-in has: " + names));
}

bool isStepped(PluginInstance& plugin, std::int32_t index) {
    const float original = plugin.parameter(index);
    DisplayProbe probe(plugin, index);
    const std::size_t count = steps(scan(probe)).size();
    plugin.setParameter(index, original);
    return count <= kMostSteps;
}

float setParameterByDisplay(PluginInstance& plugin, std::int32_t index, std::string_view wanted,
                            std::string* landedOn) {
    const float original = plugin.parameter(index);
    const std::string name = trimmed(plugin.parameterName(index));
    const std::string label = trimmed(plugin.parameterLabel(index));
    DisplayProbe probe(plugin, index);
    const Scan s = scan(probe);

    auto fail = [&](const std::string& why) {
        plugin.setParameter(index, original);
        return Failure(FailureKind::usage,
                       "parameter '" + name + "' cannot be set to '" + std::string(wanted) + "': " + why);
    };

    bool anyText = false;
    for (const std::string& t : s.text) anyText = anyText || !trimmed(t).empty();
    if (!anyText) throw fail("it shows no value texts; give a normalised value with --set-normalized");

    bool numericDisplay = false;
    for (const auto& v : s.value) numericDisplay = numericDisplay || v.has_value();
    const std::optional<TypedValue> typed = parseTypedValue(wanted);
    // A plain double beside a flag: GCC takes an optional's value for unset here.
    const std::optional<double> inUnits = typed && numericDisplay ? inLabelUnits(*typed, label) : std::nullopt;
    const bool number = inUnits.has_value();
    const double typedNumber = inUnits.value_or(0.0);

    std::optional<float> found;
    std::string nearest;
    if (number) found = findNumber(probe, s, typedNumber, nearest);
    // Named settings ("On", "2x") match their own text, whatever a number in them says.
    if (!found) found = findText(probe, s, canonicalText(wanted));
    if (!found) {
        const std::string range = rangeText(s, label);
        if (typed && numericDisplay && !number)
            throw fail("'" + typed->unit + "' is not a unit it takes; give " + forms(s, label) + " (range " + range +
                       ")");
        if (!typed && numericDisplay) throw fail("give " + forms(s, label) + "; its range is " + range);
        if (number) {
            if (steps(s).size() <= kMostSteps) throw fail("it shows " + shownTexts(s));
            if (!nearest.empty()) throw fail("the nearest settings show " + nearest + " (range " + range + ")");
            throw fail("its range is " + range);
        }
        throw fail("it shows " + shownTexts(s));
    }
    plugin.setParameter(index, *found);
    if (landedOn != nullptr && number) {
        const std::string shown = trimmed(plugin.parameterDisplay(index));
        const std::optional<DisplayValue> landed = parseDisplayValue(shown);
        const double slack = 1e-9 * std::max(1.0, std::fabs(typedNumber));
        if (landed && std::fabs(landed->value - typedNumber) > slack)
            *landedOn = withoutTrailingZeros(shown) + (label.empty() ? "" : " " + label);
    }
    return *found;
}

}  // namespace vsthost
