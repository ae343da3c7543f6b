// Automation as a user writes it, the same bytes read both as an automation
// file and as an --automate argument. Each either answers lanes that hold
// together (keyframes at finite beats that never fall, each with a value;
// a beat before 0 belongs to a pre-roll and is checked against the start
// beat later) or refuses with the failure of its kind: input for the file,
// usage for the argument. Anything else is a finding.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "host/automation/automation_file.h"
#include "host/automation/automation_text.h"
#include "host/text/failure.h"

namespace {

void require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

// A file may name a parameter "": the plug-in then refuses it by name.
void checkLane(const vsthost::LaneText& lane) {
    require(!lane.keyframes.empty(), "a lane without keyframes");
    for (std::size_t i = 0; i < lane.keyframes.size(); ++i) {
        const vsthost::KeyframeText& keyframe = lane.keyframes[i];
        require(std::isfinite(keyframe.beat), "a keyframe at a beat that is not finite");
        require(i == 0 || lane.keyframes[i - 1].beat <= keyframe.beat, "keyframes falling");
        require(!keyframe.value.empty(), "a keyframe without a value");
    }
}

void checkRefusal(const vsthost::Failure& failure, vsthost::FailureKind kind, std::string_view start) {
    require(failure.kind() == kind, "refused as the wrong kind of failure");
    require(std::string_view(failure.what()).substr(0, start.size()) == start,
            "a refusal that does not name its source");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string origin = "automation file 'fuzz.json'";
    try {
        const std::vector<vsthost::LaneText> lanes = vsthost::parseAutomationJson(text, origin);
        for (const vsthost::LaneText& lane : lanes) checkLane(lane);
    } catch (const vsthost::Failure& failure) {
        checkRefusal(failure, vsthost::FailureKind::input, origin + ": ");
    }
    try {
        const vsthost::LaneText lane = vsthost::parseAutomate(text);
        require(!lane.parameter.empty(), "an --automate lane without a parameter name");
        checkLane(lane);
    } catch (const vsthost::Failure& failure) {
        checkRefusal(failure, vsthost::FailureKind::usage, "--automate '");
    }
    return 0;
}
