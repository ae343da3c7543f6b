// One setting of the wobble, applied alike to the processor and to the
// literal model, and a block processed by both.
#pragma once

#include <cstdint>

#include "effect/musical_time.h"
#include "effect/subnormal_flush.h"
#include "effect/wobble.h"
#include "plugin_instance.h"
#include "reference_wobble.h"

struct WobbleSetting {
    float rate;
    std::int32_t periodIndex;
    float freq1, freq2, q, mix;

    // From host values of Period, Freq 1, Freq 2, Q and Mix, mapped as the parameters map them.
    static WobbleSetting fromHost(float rate, const float (&x)[5]) {
        return {rate,
                static_cast<std::int32_t>(x[0] * 11.0f),
                x[1] * 19980.0f + 20.0f,
                x[2] * 19980.0f + 20.0f,
                x[3] * 14.0f + 0.14f,
                x[4]};
    }

    template <typename Processor>
    void applyTo(Processor& p) const {
        p.periodIndex = periodIndex;
        p.freq1 = freq1;
        p.freq2 = freq2;
        p.q = q;
        p.mix = mix;
    }
};

// A processor and the model side by side; the processor runs the steps the
// machine chose, or the given ones where they can run (`usable`).
struct WobbleAndModel {
    explicit WobbleAndModel(const WobbleSetting& setting) : rate(setting.rate) {
        setting.applyTo(wobble);
        setting.applyTo(model);
        model.sampleRate = setting.rate;
    }
    WobbleAndModel(const WobbleSetting& setting, SweepSteps steps) : WobbleAndModel(setting) {
        usable = wobble.useSteps(steps);
    }

    // Processes `in` through both at the given transport; true when every bit
    // agrees. The model computes in the processor's floating-point mode, so
    // they agree on decaying tails too.
    bool processBoth(StereoBuffer& in, StereoBuffer& out, StereoBuffer& expected, double position, double tempo) {
        const auto frames = static_cast<std::int32_t>(in.frames());
        wobble.process(in.data(), out.data(), frames, rate, [&] { return SongPosition{position, tempo}; });
        {
            const SubnormalFlush flush;
            model.process(in.data(), expected.data(), frames, position, tempo);
        }
        return sameBits(out.left, expected.left) && sameBits(out.right, expected.right);
    }

    float rate;
    bool usable = true;
    Wobble wobble;
    ReferenceWobble model;
};
