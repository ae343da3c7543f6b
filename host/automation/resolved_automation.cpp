#include "resolved_automation.h"

#include <optional>
#include <set>
#include <string>

#include "host/plugin/parameter_search.h"
#include "host/plugin/plugin_instance.h"
#include "host/text/decimal_number.h"
#include "host/text/failure.h"
#include "host/text/trimmed.h"

namespace vsthost {

namespace {

// "0.3n": a normalised value given directly rather than through the display.
std::optional<double> normalisedValue(std::string_view text) {
    if (text.size() < 2 || (text.back() != 'n' && text.back() != 'N')) return std::nullopt;
    return parseDecimal(trimmed(text.substr(0, text.size() - 1)));
}

}  // namespace

std::vector<AutomationLane> resolveAutomation(PluginInstance& plugin, const std::vector<LaneText>& lanes) {
    std::vector<AutomationLane> resolved;
    std::set<std::int32_t> seen;
    for (const LaneText& text : lanes) {
        const std::int32_t index = findParameter(plugin, text.parameter);
        if (!seen.insert(index).second)
            throw Failure(FailureKind::usage, "parameter '" + plugin.parameterName(index) +
                                                  "' is automated twice; give all its keyframes in one place");
        AutomationLane lane{index, {}, isStepped(plugin, index)};
        const float before = plugin.parameter(index);
        for (const KeyframeText& keyframe : text.keyframes) {
            const std::string where =
                "automation of '" + plugin.parameterName(index) + "' at beat " + numberText(keyframe.beat) + ": ";
            if (const auto normalised = normalisedValue(keyframe.value)) {
                if (*normalised < 0.0 || *normalised > 1.0)
                    throw Failure(FailureKind::usage,
                                  where + "normalised value " + keyframe.value + " lies outside 0n to 1n");
                lane.keyframes.push_back({keyframe.beat, static_cast<float>(*normalised)});
                continue;
            }
            try {
                lane.keyframes.push_back({keyframe.beat, setParameterByDisplay(plugin, index, keyframe.value)});
            } catch (const Failure& e) {
                plugin.setParameter(index, before);
                throw Failure(e.kind(), where + e.what());
            }
        }
        plugin.setParameter(index, before);
        resolved.push_back(std::move(lane));
    }
    return resolved;
}

}  // namespace vsthost
