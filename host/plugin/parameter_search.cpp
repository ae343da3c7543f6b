#include "parameter_search.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "host/text/decimal_number.h"
#include "host/text/excerpt.h"
#include "host/text/failure.h"
#include "host/text/trimmed.h"
#include "host/text/typed_value.h"
#include "plugin.h"

namespace vsthost {

namespace {

// Grid of the first scan; the values i / kGrid are exact floats.
constexpr int kGrid = 1024;
// A display with at most this many texts is a choice among steps (a note
// value, a mode, a switch) rather than a continuous value.
constexpr std::size_t kMostSteps = 24;
// Plug-ins cut names and displays to buffers of eight or nine bytes with the
// terminating zero; a text this long may be the start of a longer one.
constexpr std::size_t kMaybeCut = 7;
// Up to this many names an unknown one is answered with all of them.
constexpr std::size_t kNamesListed = 12;
constexpr std::size_t kNearNames = 5;

// Whether `shown` (canonical) is `typed` (canonical) as the plug-in cut it short.
bool cutShortFrom(const std::string& shown, const std::string& typed) {
    return shown.size() >= kMaybeCut && typed.size() > shown.size() && typed.compare(0, shown.size(), shown) == 0;
}

std::size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

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

int side(const DisplayValue& shown, double wanted) {
    if (shown.shows(wanted)) return 0;
    return shown.value < wanted ? -1 : 1;
}

}  // namespace

std::vector<std::string> nearestNames(const std::vector<std::string>& names, std::string_view typed, std::size_t most) {
    const std::string wanted = canonicalText(typed);
    std::vector<std::pair<std::size_t, std::size_t>> distances;  // distance, index
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string own = canonicalText(names[i]);
        const bool begins = !own.empty() && !wanted.empty() && (own.rfind(wanted, 0) == 0 || wanted.rfind(own, 0) == 0);
        const std::size_t distance = begins ? 0 : editDistance(own, wanted);
        // A third of the letters wrong, or two in a short name, is still a slip of the hand.
        if (distance <= std::max<std::size_t>(2, wanted.size() / 3)) distances.emplace_back(distance, i);
    }
    std::stable_sort(distances.begin(), distances.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> near;
    for (std::size_t k = 0; k < distances.size() && k < most; ++k) near.push_back(names[distances[k].second]);
    return near;
}

std::int32_t findParameter(const Plugin& plugin, std::string_view name) {
    const std::string wanted = canonicalText(name);
    std::vector<std::string> names;
    std::vector<std::int32_t> cut;
    for (std::int32_t i = 0; i < plugin.parameterCount(); ++i) {
        names.push_back(trimmed(plugin.parameterName(i)));
        const std::string own = canonicalText(names.back());
        if (own == wanted) return i;
        if (cutShortFrom(own, wanted)) cut.push_back(i);
    }
    if (cut.size() == 1) return cut.front();
    // A name a plug-in gives for scripts (an LV2 port's symbol), exactly.
    for (std::int32_t i = 0; i < plugin.parameterCount(); ++i)
        if (const std::string symbol = plugin.parameterSymbol(i); !symbol.empty() && symbol == name) return i;
    const std::string unknown = "unknown parameter '" + excerpt(name) + "'";
    if (names.empty()) throw Failure(FailureKind::usage, unknown + "; the plug-in has no parameters");
    auto listed = [](const std::vector<std::string>& list) {
        std::string text;
        for (const std::string& n : list) text += (text.empty() ? "" : ", ") + n;
        return text;
    };
    if (names.size() <= kNamesListed)
        throw Failure(FailureKind::usage, unknown + "; the plug-in has: " + listed(names));
    const std::vector<std::string> near = nearestNames(names, name, kNearNames);
    const std::string count = std::to_string(names.size());
    if (near.empty())
        throw Failure(FailureKind::usage, unknown + "; none of its " + count + " names comes near (info lists them)");
    throw Failure(FailureKind::usage,
                  unknown + "; the nearest of its " + count + " names (info lists them all): " + listed(near));
}

DisplaySearch::DisplaySearch(Plugin& plugin, std::int32_t index)
    : plugin_(plugin),
      index_(index),
      original_(plugin.parameter(index)),
      name_(trimmed(plugin.parameterName(index))),
      label_(trimmed(plugin.parameterLabel(index))) {
    for (int i = 0; i <= kGrid; ++i) {
        const float x = static_cast<float>(i) / kGrid;
        x_.push_back(x);
        text_.push_back(display(x));
        canonical_.push_back(canonicalText(text_.back()));
        value_.push_back(parseDisplayValue(text_.back()));
    }
    plugin_.setParameter(index_, original_);
}

std::string DisplaySearch::display(float x) {
    plugin_.setParameter(index_, x);
    return plugin_.parameterDisplay(index_);
}

std::optional<float> DisplaySearch::findNumber(double wanted, std::string& nearest) {
    auto sideAt = [&](float x) -> std::optional<int> {
        const std::optional<DisplayValue> shown = parseDisplayValue(display(x));
        if (!shown) return std::nullopt;
        return side(*shown, wanted);
    };
    for (int i = 0; i <= kGrid; ++i) {
        if (!value_[i]) continue;
        const int here = side(*value_[i], wanted);
        if (here == 0) {
            if (i == 0) return x_[0];
            return firstWhere(x_[i - 1], x_[i], [&](float x) { return sideAt(x) == 0; });
        }
        if (i == 0 || !value_[i - 1]) continue;
        const int before = side(*value_[i - 1], wanted);
        if (before == here) continue;
        // The display crosses the wanted number between two grid points.
        const float x = firstWhere(x_[i - 1], x_[i], [&](float x) { return sideAt(x) != before; });
        const std::string shown = display(x);
        const std::optional<DisplayValue> value = parseDisplayValue(shown);
        if (value && value->shows(wanted)) return x;
        if (nearest.empty())
            nearest =
                trimmed(display(std::bit_cast<float>(std::bit_cast<std::uint32_t>(x) - 1))) + " and " + trimmed(shown);
    }
    return std::nullopt;
}

std::optional<float> DisplaySearch::findText(const std::string& wanted) {
    auto showsWanted = [&](float x) { return canonicalText(display(x)) == wanted; };
    for (int i = 0; i <= kGrid; ++i) {
        if (canonical_[i] != wanted) continue;
        // The middle of the run of values that show it, for a choice among named settings.
        int last = i;
        while (last < kGrid && canonical_[last + 1] == wanted) ++last;
        const float low = i == 0 ? 0.0f : firstWhere(x_[i - 1], x_[i], showsWanted);
        const float high =
            last == kGrid ? 1.0f : firstWhere(x_[last], x_[last + 1], [&](float x) { return !showsWanted(x); });
        const float middle = low + (high - low) / 2.0f;
        return showsWanted(middle) ? middle : low;
    }
    return std::nullopt;
}

std::string DisplaySearch::rangeText() const {
    int low = -1;
    int high = -1;
    for (int i = 0; i <= kGrid; ++i) {
        if (!value_[i]) continue;
        if (low < 0 || value_[i]->value < value_[low]->value) low = i;
        if (high < 0 || value_[i]->value > value_[high]->value) high = i;
    }
    if (low < 0) return "";
    // In the order the normalised range runs through them.
    if (low > high) std::swap(low, high);
    std::string text = withoutTrailingZeros(trimmed(text_[low])) + " to " + withoutTrailingZeros(trimmed(text_[high]));
    if (!label_.empty()) text += " " + label_;
    return text;
}

// The texts in the order the normalised range runs through them.
std::vector<std::string> DisplaySearch::steps() const {
    std::vector<std::string> seen;
    for (const std::string& t : text_) {
        const std::string shown = trimmed(t);
        if (seen.empty() || seen.back() != shown) seen.push_back(shown);
    }
    return seen;
}

bool DisplaySearch::stepped() const { return steps().size() <= kMostSteps; }

std::string DisplaySearch::shownTexts() const {
    std::string list;
    std::size_t count = 0;
    for (const std::string& shown : steps()) {
        if (++count > kMostSteps) return list + ", ...";
        list += (list.empty() ? "" : ", ") + shown;
    }
    return list;
}

// What a number for this parameter may look like, for messages.
std::string DisplaySearch::forms() const {
    for (std::size_t i = 0; i < text_.size(); ++i)
        if (value_[i] && text_[i].find('/') != std::string::npos)
            return "a note value in whole numbers such as 1/8, 1/8T (a triplet) or 1/8. (dotted); it shows " +
                   shownTexts();
    return acceptedForms(label_);
}

float DisplaySearch::find(std::string_view wanted, std::string* landedOn) {
    // Every probe moves the parameter; it ends where it was, found or not.
    struct Restore {
        DisplaySearch& search;
        ~Restore() { search.plugin_.setParameter(search.index_, search.original_); }
    } restore{*this};

    auto fail = [&](const std::string& why) {
        return Failure(FailureKind::usage,
                       "parameter '" + name_ + "' cannot be set to '" + excerpt(wanted) + "': " + why);
    };

    bool anyText = false;
    for (const std::string& t : canonical_) anyText = anyText || !t.empty();
    if (!anyText) throw fail("it shows no value texts; give a normalised value with --set-normalized");

    bool numericDisplay = false;
    for (const auto& v : value_) numericDisplay = numericDisplay || v.has_value();
    const std::optional<TypedValue> typed = parseTypedValue(wanted);
    // A plain double beside a flag: GCC takes an optional's value for unset here.
    const std::optional<double> inUnits = typed && numericDisplay ? inLabelUnits(*typed, label_) : std::nullopt;
    const bool number = inUnits.has_value();
    const double typedNumber = inUnits.value_or(0.0);

    std::optional<float> found;
    std::string nearest;
    if (number) found = findNumber(typedNumber, nearest);
    // Named settings ("On", "2x") match their own text, whatever a number in them says.
    const std::string canonical = canonicalText(wanted);
    if (!found) found = findText(canonical);
    if (!found) {
        // "External" for a setting the plug-in shows cut short as "Externa".
        std::vector<std::string> cut;
        for (std::size_t i = 0; i < canonical_.size(); ++i)
            if (!value_[i] && cutShortFrom(canonical_[i], canonical) &&
                std::find(cut.begin(), cut.end(), canonical_[i]) == cut.end())
                cut.push_back(canonical_[i]);
        if (cut.size() == 1) found = findText(cut.front());
    }
    if (!found) {
        const std::string range = rangeText();
        if (typed && numericDisplay && !number)
            throw fail("'" + excerpt(typed->unit) + "' is not a unit it takes; give " + forms() + " (range " + range +
                       ")");
        if (!typed && numericDisplay) throw fail("give " + forms() + "; its range is " + range);
        if (number && typed->note && stepped())
            throw fail("no setting lasts " + noteFraction(*typed) + " of a whole note" +
                       (nearest.empty() ? "" : "; the nearest show " + nearest) + "; it shows " + shownTexts());
        if (number) {
            if (stepped()) throw fail("it shows " + shownTexts());
            if (!nearest.empty()) throw fail("the nearest settings show " + nearest + " (range " + range + ")");
            throw fail("its range is " + range);
        }
        throw fail("it shows " + shownTexts());
    }
    if (landedOn != nullptr && number) {
        const std::string shown = trimmed(display(*found));
        const std::optional<DisplayValue> landed = parseDisplayValue(shown);
        const double slack = 1e-9 * std::max(1.0, std::fabs(typedNumber));
        if (landed && std::fabs(landed->value - typedNumber) > slack)
            *landedOn = withoutTrailingZeros(shown) + (label_.empty() ? "" : " " + label_);
    }
    return *found;
}

std::optional<double> plainValue(const Plugin& plugin, std::int32_t index, std::string_view wanted) {
    const std::optional<TypedValue> typed = parseTypedValue(wanted);
    if (!typed || typed->note) return std::nullopt;
    const std::optional<double> value = inLabelUnits(*typed, trimmed(plugin.parameterLabel(index)));
    if (!value || !plugin.takesParameterValue(index, *value)) return std::nullopt;
    return value;
}

float setParameterByDisplay(Plugin& plugin, std::int32_t index, std::string_view wanted, std::string* landedOn) {
    const float found = DisplaySearch(plugin, index).find(wanted, landedOn);
    plugin.setParameter(index, found);
    return found;
}

}  // namespace vsthost
