#include "automation.h"

#include "host/text/decimal_number.h"
#include "host/text/failure.h"
#include "host/text/trimmed.h"

namespace vsthost {

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

float interpolate(float a, float b, double fraction) {
    if (fraction <= 0.0) return a;
    if (fraction >= 1.0) return b;
    const double value = static_cast<double>(a) + (static_cast<double>(b) - static_cast<double>(a)) * fraction;
    return static_cast<float>(value);
}

}  // namespace vsthost
