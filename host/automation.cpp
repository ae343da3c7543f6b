#include "automation.h"

#include <charconv>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "decimal_number.h"
#include "failure.h"
#include "parameter_search.h"
#include "plugin_instance.h"

namespace vsthost {

namespace {

std::string numberText(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// Whatever the keyframes came from, their beats are checked alike.
// Returns an empty text when they are fine.
std::string beatProblem(const std::vector<KeyframeText>& keyframes) {
    for (std::size_t i = 0; i < keyframes.size(); ++i) {
        const double beat = keyframes[i].beat;
        if (beat < 0.0) return "beat " + numberText(beat) + " lies before the start of the song";
        if (i > 0 && beat < keyframes[i - 1].beat)
            return "beat " + numberText(beat) + " comes after beat " + numberText(keyframes[i - 1].beat) +
                   "; beats must not fall from one keyframe to the next";
    }
    return {};
}

// "0.3n": a normalised value given directly rather than through the display.
std::optional<double> normalisedValue(std::string_view text) {
    if (text.size() < 2 || (text.back() != 'n' && text.back() != 'N')) return std::nullopt;
    return parseDecimal(trimmed(text.substr(0, text.size() - 1)));
}

}  // namespace

LaneText parseAutomate(std::string_view text) {
    const std::string whole(text);
    auto refuse = [&](const std::string& why) {
        return Failure(FailureKind::usage, "--automate '" + whole + "': " + why);
    };
    const auto equals = text.find('=');
    if (equals == std::string_view::npos) throw refuse("expected NAME=BEAT:VALUE,BEAT:VALUE,...");
    LaneText lane;
    lane.parameter = std::string(trimmed(text.substr(0, equals)));
    if (lane.parameter.empty()) throw refuse("no parameter name before '='");
    std::string_view rest = text.substr(equals + 1);
    while (true) {
        const auto comma = rest.find(',');
        const std::string_view item = trimmed(rest.substr(0, comma));
        const auto colon = item.find(':');
        if (colon == std::string_view::npos) throw refuse("'" + std::string(item) + "' is not BEAT:VALUE");
        const auto beat = parseDecimal(trimmed(item.substr(0, colon)));
        const std::string_view value = trimmed(item.substr(colon + 1));
        if (!beat) throw refuse("'" + std::string(item.substr(0, colon)) + "' is not a beat number");
        if (value.empty()) throw refuse("no value after beat " + numberText(*beat));
        lane.keyframes.push_back({*beat, std::string(value)});
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    if (const std::string problem = beatProblem(lane.keyframes); !problem.empty()) throw refuse(problem);
    return lane;
}

std::vector<LaneText> parseAutomationJson(std::string_view json, const std::string& origin) {
    auto refuse = [&](const std::string& why) { return Failure(FailureKind::input, origin + ": " + why); };
    nlohmann::json document;
    try {
        document = nlohmann::json::parse(json.begin(), json.end());
    } catch (const nlohmann::json::parse_error& e) {
        // The library's text begins with its own error code in brackets.
        std::string what = e.what();
        if (const auto close = what.find("] "); what.front() == '[' && close != std::string::npos)
            what.erase(0, close + 2);
        throw refuse("not readable as JSON: " + what);
    }
    if (!document.is_object())
        throw refuse("expected an object of parameter names, each with an array of {\"beat\": B, \"value\": V}");
    std::vector<LaneText> lanes;
    for (const auto& [name, keyframes] : document.items()) {
        const std::string where = "parameter '" + name + "'";
        if (!keyframes.is_array() || keyframes.empty())
            throw refuse(where + ": expected a non-empty array of {\"beat\": B, \"value\": V}");
        LaneText lane{name, {}};
        for (const auto& keyframe : keyframes) {
            if (!keyframe.is_object() || !keyframe.contains("beat") || !keyframe.contains("value") ||
                keyframe.size() != 2)
                throw refuse(where + ": keyframe " + keyframe.dump() + " is not {\"beat\": B, \"value\": V}");
            const auto& beat = keyframe["beat"];
            const auto& value = keyframe["value"];
            if (!beat.is_number()) throw refuse(where + ": beat " + beat.dump() + " is not a number");
            std::string valueText;
            if (value.is_number())
                valueText = numberText(value.get<double>());
            else if (value.is_string())
                valueText = std::string(trimmed(value.get<std::string>()));
            else
                throw refuse(where + ": value " + value.dump() + " is neither a number nor a text");
            if (valueText.empty()) throw refuse(where + ": empty value at beat " + beat.dump());
            lane.keyframes.push_back({beat.get<double>(), valueText});
        }
        if (const std::string problem = beatProblem(lane.keyframes); !problem.empty())
            throw refuse(where + ": " + problem);
        lanes.push_back(std::move(lane));
    }
    return lanes;
}

std::vector<LaneText> readAutomationFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw Failure(FailureKind::input, "cannot open automation file '" + path + "'");
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad()) throw Failure(FailureKind::input, "cannot read automation file '" + path + "'");
    return parseAutomationJson(text.str(), "automation file '" + path + "'");
}

std::vector<AutomationLane> resolveAutomation(PluginInstance& plugin, const std::vector<LaneText>& lanes) {
    std::vector<AutomationLane> resolved;
    std::set<std::int32_t> seen;
    for (const LaneText& text : lanes) {
        const std::int32_t index = findParameter(plugin, text.parameter);
        if (!seen.insert(index).second)
            throw Failure(FailureKind::usage, "parameter '" + plugin.parameterName(index) +
                                                  "' is automated twice; give all its keyframes in one place");
        AutomationLane lane{index, {}};
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

float interpolate(float a, float b, double fraction) {
    if (fraction <= 0.0) return a;
    if (fraction >= 1.0) return b;
    const double value = static_cast<double>(a) + (static_cast<double>(b) - static_cast<double>(a)) * fraction;
    return static_cast<float>(value);
}

}  // namespace vsthost
