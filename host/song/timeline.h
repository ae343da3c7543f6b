// What changes during a render and on which sample: the tempo, and the
// automated parameters. Plans the render loop's blocks so that every change
// lands on its exact sample, as workstations do: a block ends where the tempo
// changes and where a keyframe falls, and on a ramp at least every
// kRampStep samples. The changes happen on a fixed grid of samples, so the
// sound does not depend on the largest block size.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "automation.h"
#include "tempo_map.h"
#include "transport.h"

namespace vsthost {

// Writes a parameter's normalised value to the plug-in, through its record.
using ParameterWriter = std::function<void(std::int32_t parameter, float value)>;

class Timeline {
public:
    static constexpr std::int32_t kRampStep = 32;

    Timeline(TempoMap tempo, std::vector<AutomationLane> lanes);

    const TempoMap& tempo() const { return tempo_; }

    // The render loop's planner: before the block that starts at `position`,
    // writes the parameter values that start there, sets the transport's
    // tempo and position where a new tempo starts, and answers how many
    // frames run until the next change (at most maxFrames). The render loop
    // wires it to a plug-in (plannerFor() in host/audio/render_loop.h).
    std::int32_t plan(std::int64_t position, std::int32_t maxFrames, Transport& transport,
                      const ParameterWriter& write);

    bool automates(std::int32_t parameter) const;

    // The value a lane's parameter holds from `sample` on.
    float valueAt(std::size_t lane, std::int64_t sample) const;

private:
    struct Lane {
        AutomationLane automation;
        std::vector<std::int64_t> samples;  // first sample of each keyframe
    };

    // The first sample after `sample` at which the lane's value is written.
    std::int64_t nextWrite(const Lane& lane, std::int64_t sample) const;
    bool writesAt(const Lane& lane, std::int64_t sample) const;

    TempoMap tempo_;
    std::vector<Lane> lanes_;
};

}  // namespace vsthost
