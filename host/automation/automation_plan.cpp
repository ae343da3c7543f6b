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

AutomationPlan::Segment AutomationPlan::segmentAt(const Lane& lane, std::int64_t sample) const {
    const auto& keys = lane.automation.keyframes;
    const auto after = std::upper_bound(lane.samples.begin(), lane.samples.end(), sample);
    if (after == lane.samples.begin()) return {0, 0, 0.0};
    if (after == lane.samples.end()) return {keys.size() - 1, keys.size() - 1, 0.0};
    const auto i = static_cast<std::size_t>(after - lane.samples.begin()) - 1;
    if (lane.automation.stepped) return {i, i, 0.0};
    // Keyframes on one sample fall to the later one, so these beats differ.
    return {i, i + 1, (tempo_.beatAt(sample) - keys[i].beat) / (keys[i + 1].beat - keys[i].beat)};
}

float AutomationPlan::valueAt(std::size_t index, std::int64_t sample) const {
    const Lane& lane = lanes_.at(index);
    const Segment s = segmentAt(lane, sample);
    const auto& keys = lane.automation.keyframes;
    return interpolate(keys[s.from].value, keys[s.to].value, s.fraction);
}

double AutomationPlan::plainValueAt(std::size_t index, std::int64_t sample) const {
    const Lane& lane = lanes_.at(index);
    const Segment s = segmentAt(lane, sample);
    const double a = lane.automation.keyframes[s.from].plain;
    const double b = lane.automation.keyframes[s.to].plain;
    return s.fraction <= 0.0 ? a : s.fraction >= 1.0 ? b : a + (b - a) * s.fraction;
}

std::int64_t AutomationPlan::nextWrite(const Lane& lane, std::int64_t sample) const {
    const auto after = std::upper_bound(lane.samples.begin(), lane.samples.end(), sample);
    if (after == lane.samples.end()) return TempoMap::kNever;
    if (after == lane.samples.begin()) return *after;
    const auto j = static_cast<std::size_t>(after - lane.samples.begin());
    const auto& keys = lane.automation.keyframes;
    const bool held = lane.automation.plain ? keys[j - 1].plain == keys[j].plain : keys[j - 1].value == keys[j].value;
    if (held || lane.automation.stepped) return *after;
    const std::int64_t grid = (sample / kRampStep + 1) * kRampStep;
    return std::min(grid, *after);
}

bool AutomationPlan::writesAt(const Lane& lane, std::int64_t sample) const {
    return sample == 0 || nextWrite(lane, sample - 1) == sample;
}

void AutomationPlan::write(std::size_t index, std::int64_t sample, Plugin& plugin) const {
    const AutomationLane& lane = lanes_[index].automation;
    if (lane.plain)
        plugin.setParameterValue(lane.parameter, plainValueAt(index, sample));
    else
        plugin.setParameter(lane.parameter, valueAt(index, sample));
}

std::int32_t AutomationPlan::play(std::int64_t position, std::int32_t maxFrames, Plugin& plugin) const {
    std::int64_t next = TempoMap::kNever;
    for (std::size_t i = 0; i < lanes_.size(); ++i) {
        const Lane& lane = lanes_[i];
        if (writesAt(lane, position)) write(i, position, plugin);
        next = std::min(next, nextWrite(lane, position));
    }
    return static_cast<std::int32_t>(std::min<std::int64_t>(maxFrames, next - position));
}

}  // namespace vsthost
