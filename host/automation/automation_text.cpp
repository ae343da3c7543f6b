#include "automation_text.h"

#include "host/song/beat_list.h"
#include "host/text/decimal_number.h"
#include "host/text/excerpt.h"
#include "host/text/failure.h"
#include "host/text/trimmed.h"

namespace vsthost {

std::string keyframeBeatProblem(const std::vector<KeyframeText>& keyframes) {
    std::vector<double> beats;
    for (const KeyframeText& keyframe : keyframes) beats.push_back(keyframe.beat);
    return beatOrderProblem(beats, BeatOrder::neverFalling);
}

LaneText parseAutomate(std::string_view text) {
    const auto refuse = [&](const std::string& why) {
        return Failure(FailureKind::usage, "--automate '" + excerpt(text) + "': " + why);
    };
    const auto equals = text.find('=');
    if (equals == std::string_view::npos) throw refuse("expected NAME=BEAT:VALUE,BEAT:VALUE,...");
    LaneText lane;
    lane.parameter = std::string(trimmed(text.substr(0, equals)));
    if (lane.parameter.empty()) throw refuse("no parameter name before '='");
    std::string problem;
    for (const BeatEntry& entry : splitBeatList(text.substr(equals + 1), "BEAT:VALUE", problem)) {
        if (entry.text.empty()) throw refuse("no value after beat " + numberText(entry.beat));
        lane.keyframes.push_back({entry.beat, std::string(entry.text)});
    }
    if (!problem.empty()) throw refuse(problem);
    if (const std::string order = keyframeBeatProblem(lane.keyframes); !order.empty()) throw refuse(order);
    return lane;
}

}  // namespace vsthost
