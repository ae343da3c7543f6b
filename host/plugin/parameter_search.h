// Setting a parameter the way its user reads it: by name, and by the value
// its own display shows, whatever the plug-in's mapping from the normalised
// host value. The search scans the normalised range with the plug-in's own
// display texts and then narrows down to the first value that shows the
// wanted one, which for displays that truncate is the exact value.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "display_value.h"

namespace vsthost {

class Plugin;

// The index of the parameter whose name reads `name` (case and spacing
// aside), or whose name as the plug-in cuts it short begins `name` ("Sidechai"
// for "Sidechain") when no other does, or else whose symbol is `name`. Throws Failure (usage) naming the
// nearest names there are.
std::int32_t findParameter(const Plugin& plugin, std::string_view name);

// Up to `most` of `names` that come near `typed` (case and spacing aside):
// those it begins or that begin it, then those a few letters away, nearest
// first.
std::vector<std::string> nearestNames(const std::vector<std::string>& names, std::string_view typed, std::size_t most);

// One parameter's displays, scanned once, so that many values (a lane of
// keyframes) are each found with a short search of their own.
class DisplaySearch {
public:
    // Scans the display; the parameter is left as it was.
    DisplaySearch(Plugin& plugin, std::int32_t index);

    // The normalised value at which the display shows `wanted` as a musician
    // types it ("300", "20kHz", "1/8T", "4.0", "50 %", "-inf dB", or a text
    // such as "On", in full where the display cuts it short). Throws Failure
    // (usage) naming the forms it takes and its range, or the nearest
    // settings, when no value shows it. When the display that a number lands
    // on shows another number ("0" for 0.5), `landedOn` receives that display
    // with its label. The parameter is left as it was either way.
    float find(std::string_view wanted, std::string* landedOn = nullptr);

    // Whether the parameter is a choice among a few steps (a note value, a
    // mode, a switch) rather than a continuous value: automation steps
    // between such values instead of gliding through the ones between.
    bool stepped() const;

private:
    std::string display(float x);
    std::optional<float> findNumber(double wanted, std::string& nearest);
    std::optional<float> findText(const std::string& wanted);
    std::vector<std::string> steps() const;
    std::string shownTexts() const;
    std::string rangeText() const;
    std::string forms() const;

    Plugin& plugin_;
    std::int32_t index_;
    float original_;
    std::string name_;
    std::string label_;
    // The grid of the first scan and what the display shows at each point.
    std::vector<float> x_;
    std::vector<std::string> text_;
    std::vector<std::string> canonical_;
    std::vector<std::optional<DisplayValue>> value_;
};

// `wanted` as a plain number in the parameter's unit ("300", "2.5 kHz" for a
// parameter in Hz), where the plug-in takes such values for it as they are;
// nothing otherwise.
std::optional<double> plainValue(const Plugin& plugin, std::int32_t index, std::string_view wanted);

// Finds and sets the value as DisplaySearch::find() does and answers it; on
// a failure the parameter is left as it was.
float setParameterByDisplay(Plugin& plugin, std::int32_t index, std::string_view wanted,
                            std::string* landedOn = nullptr);

}  // namespace vsthost
