#include "resolved_automation.h"

#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>

#include "host/plugin/parameter_search.h"
#include "host/plugin/plugin.h"
#include "host/text/decimal_number.h"
#include "host/text/excerpt.h"
#include "host/text/failure.h"
#include "host/text/trimmed.h"

namespace vsthost {

namespace {

// Past this many, the values of one lane that landed elsewhere are counted
// rather than each named.
constexpr std::size_t kNotesPerLane = 5;

// "0.3n": a normalised value given directly rather than through the display.
std::optional<double> normalisedValue(std::string_view text) {
    if (text.size() < 2 || (text.back() != 'n' && text.back() != 'N')) return std::nullopt;
    return parseDecimal(trimmed(text.substr(0, text.size() - 1)));
}

}  // namespace

std::vector<AutomationLane> resolveAutomation(Plugin& plugin, const std::vector<LaneText>& lanes,
                                              std::vector<std::string>* notes) {
    std::vector<AutomationLane> resolved;
    std::set<std::int32_t> seen;
    for (const LaneText& text : lanes) {
        const std::int32_t index = findParameter(plugin, text.parameter);
        const std::string name = trimmed(plugin.parameterName(index));
        if (!seen.insert(index).second)
            throw Failure(FailureKind::usage,
                          "parameter '" + name + "' is automated twice; give all its keyframes in one place");
        DisplaySearch search(plugin, index);
        AutomationLane lane{index, {}, search.stepped()};
        lane.keyframes.reserve(text.keyframes.size());
        // Keyframes mostly repeat a few texts; each is looked up once.
        std::unordered_map<std::string_view, Keyframe> found;
        bool plain = !lane.stepped;
        std::size_t landedElsewhere = 0;
        for (const KeyframeText& keyframe : text.keyframes) {
            const auto where = [&] {
                return "automation of '" + name + "' at beat " + numberText(keyframe.beat) + ": ";
            };
            if (const auto known = found.find(keyframe.value); known != found.end()) {
                lane.keyframes.push_back({keyframe.beat, known->second.value, known->second.plain});
                continue;
            }
            const std::optional<double> inUnit = plainValue(plugin, index, keyframe.value);
            plain = plain && inUnit.has_value();
            float value = 0.0f;
            if (const auto normalised = normalisedValue(keyframe.value)) {
                if (*normalised < 0.0 || *normalised > 1.0)
                    throw Failure(FailureKind::usage,
                                  where() + "normalised value " + excerpt(keyframe.value) + " lies outside 0n to 1n");
                value = static_cast<float>(*normalised);
            } else {
                std::string landed;
                try {
                    value = search.find(keyframe.value, &landed);
                } catch (const Failure& e) {
                    throw Failure(e.kind(), where() + e.what());
                }
                if (!landed.empty() && notes != nullptr && ++landedElsewhere <= kNotesPerLane)
                    notes->push_back("note: " + where() + excerpt(keyframe.value) + " landed on " + landed +
                                     ", the nearest setting the plug-in shows");
            }
            const Keyframe resolvedKey{keyframe.beat, value, inUnit.value_or(0.0)};
            found.emplace(keyframe.value, resolvedKey);
            lane.keyframes.push_back(resolvedKey);
        }
        if (const std::size_t more = landedElsewhere - std::min(landedElsewhere, kNotesPerLane); notes && more > 0)
            notes->push_back("note: " + std::to_string(more) + (more == 1 ? " more value" : " more values") +
                             " in the automation of '" + name + "' landed on another setting than typed");
        lane.plain = plain;
        resolved.push_back(std::move(lane));
    }
    return resolved;
}

}  // namespace vsthost
