// Automation played on a plug-in, sample exact as workstations do: the
// render loop ends a block where a keyframe falls and, on a ramp, at least
// every kRampStep samples, and the plan writes each value through the record
// before the block it starts. The writes fall on a fixed grid of samples, so
// the sound does not depend on the largest block size.
#pragma once

#include <cstdint>
#include <vector>

#include "automation_lane.h"
#include "host/song/tempo_map.h"

namespace vsthost {

class Plugin;

class AutomationPlan {
public:
    static constexpr std::int32_t kRampStep = 32;

    AutomationPlan(const TempoMap& tempo, std::vector<AutomationLane> lanes);

    // Before the block that starts at `position`: writes the values that
    // start there and answers how many frames run until the next write (at
    // most maxFrames).
    std::int32_t play(std::int64_t position, std::int32_t maxFrames, Plugin& plugin) const;

    bool automates(std::int32_t parameter) const;

    // The value a lane's parameter holds from `sample` on: normalised, and
    // in its own unit for a lane of such values.
    float valueAt(std::size_t lane, std::int64_t sample) const;
    double plainValueAt(std::size_t lane, std::int64_t sample) const;

private:
    struct Lane {
        AutomationLane automation;
        std::vector<std::int64_t> samples;  // first sample of each keyframe
    };

    // The keyframes `sample` lies between and how far along; a held value
    // is one keyframe, twice.
    struct Segment {
        std::size_t from;
        std::size_t to;
        double fraction;
    };
    Segment segmentAt(const Lane& lane, std::int64_t sample) const;
    void write(std::size_t lane, std::int64_t sample, Plugin& plugin) const;

    // The first sample after `sample` at which the lane's value is written.
    std::int64_t nextWrite(const Lane& lane, std::int64_t sample) const;
    bool writesAt(const Lane& lane, std::int64_t sample) const;

    const TempoMap& tempo_;
    std::vector<Lane> lanes_;
};

}  // namespace vsthost
