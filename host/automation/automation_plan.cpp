#include "automation_plan.h"

#include <algorithm>

#include "host/plugin/plugin.h"

namespace vsthost {

AutomationPlan::AutomationPlan(const TempoMap& tempo, std::vector<AutomationLane> lanes) : tempo_(tempo) {
    for (AutomationLane& automation : lanes) {
        Lane lane{std::move(automation), {}};
        for (const Keyframe& keyframe : lane.automation.keyframes)
            lane.samples.push_back(tempo_.firstSampleAt(keyframe.beat));
        lanes_.push_back(std::move(lane));
    }
}

bool AutomationPlan::automates(std::int32_t parameter) const {
    return std::any_of(lanes_.begin(), lanes_.end(),
                       [parameter](const Lane& lane) { return lane.automation.parameter == parameter; });
}

float AutomationPlan::valueAt(std::size_t index, std::int64_t sample) const {
    const Lane& lane = lanes_.at(index);
    const auto& keys = lane.automation.keyframes;
    const auto after = std::upper_bound(lane.samples.begin(), lane.samples.end(), sample);
    if (after == lane.samples.begin()) return keys.front().value;
    if (after == lane.samples.end()) return keys.back().value;
    const auto i = static_cast<std::size_t>(after - lane.samples.begin()) - 1;
    if (lane.automation.stepped) return keys[i].value;
    // Keyframes on one sample fall to the later one, so these beats differ.
    const double fraction = (tempo_.beatAt(sample) - keys[i].beat) / (keys[i + 1].beat - keys[i].beat);
    return interpolate(keys[i].value, keys[i + 1].value, fraction);
}

std::int64_t AutomationPlan::nextWrite(const Lane& lane, std::int64_t sample) const {
    const auto after = std::upper_bound(lane.samples.begin(), lane.samples.end(), sample);
    if (after == lane.samples.end()) return TempoMap::kNever;
    if (after == lane.samples.begin()) return *after;
    const auto j = static_cast<std::size_t>(after - lane.samples.begin());
    const auto& keys = lane.automation.keyframes;
    if (keys[j - 1].value == keys[j].value || lane.automation.stepped) return *after;
    const std::int64_t grid = (sample / kRampStep + 1) * kRampStep;
    return std::min(grid, *after);
}

bool AutomationPlan::writesAt(const Lane& lane, std::int64_t sample) const {
    return sample == 0 || nextWrite(lane, sample - 1) == sample;
}

std::int32_t AutomationPlan::play(std::int64_t position, std::int32_t maxFrames, Plugin& plugin) const {
    std::int64_t next = TempoMap::kNever;
    for (std::size_t i = 0; i < lanes_.size(); ++i) {
        const Lane& lane = lanes_[i];
        if (writesAt(lane, position)) plugin.setParameter(lane.automation.parameter, valueAt(i, position));
        next = std::min(next, nextWrite(lane, position));
    }
    return static_cast<std::int32_t>(std::min<std::int64_t>(maxFrames, next - position));
}

}  // namespace vsthost
