#include "automation_file.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <vector>

#include "host/text/decimal_number.h"
#include "host/text/failure.h"
#include "host/text/trimmed.h"

namespace vsthost {

std::vector<LaneText> parseAutomationJson(std::string_view json, const std::string& origin) {
    auto refuse = [&](const std::string& why) { return Failure(FailureKind::input, origin + ": " + why); };
    nlohmann::json document;
    // Each object's keys so far, innermost last: a key given twice would
    // silently lose one of its values.
    std::vector<std::set<std::string>> keys;
    std::string duplicate;
    const nlohmann::json::parser_callback_t watch = [&](int, nlohmann::json::parse_event_t event,
                                                        nlohmann::json& parsed) {
        if (event == nlohmann::json::parse_event_t::object_start) keys.emplace_back();
        if (event == nlohmann::json::parse_event_t::object_end && !keys.empty()) keys.pop_back();
        if (event == nlohmann::json::parse_event_t::key && !keys.empty() && duplicate.empty() &&
            !keys.back().insert(parsed.get<std::string>()).second)
            duplicate = parsed.get<std::string>();
        return true;
    };
    try {
        document = nlohmann::json::parse(json.begin(), json.end(), watch);
    } catch (const nlohmann::json::exception& e) {
        // Syntax and numbers past the range of a double alike. The library's
        // text begins with its own error code in brackets.
        std::string what = e.what();
        if (const auto close = what.find("] "); what.front() == '[' && close != std::string::npos)
            what.erase(0, close + 2);
        throw refuse("not readable as JSON: " + what);
    }
    if (!duplicate.empty()) throw refuse("the key \"" + duplicate + "\" is given twice in one object; give it once");
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
        if (const std::string problem = keyframeBeatProblem(lane.keyframes); !problem.empty())
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

}  // namespace vsthost
