// The wobble processor written out literally, one step after another, with
// each filter computing its own coefficients: the model the plug-in's output
// is compared with bit for bit wherever the two are meant to agree. It has
// the processor's three choices at the edges (a negative remainder continues
// the period, a position beyond single range has phase 0, the cut-off angle
// is held where the filter is stable) but no runaway guard: where the two
// differ, the guard has tripped.
#pragma once

#include <cmath>
#include <cstdint>

struct ReferenceWobble {
    struct Filter {
        float a0 = 1.0f, a1 = 0.0f, a2 = 0.0f, b0 = 1.0f, b1 = 0.0f, b2 = 0.0f;
        float y1 = 0.0f, y2 = 0.0f, x1 = 0.0f, x2 = 0.0f;
    };

    std::int32_t periodIndex = 6;
    float freq1 = 500.0f;
    float freq2 = 20000.0f;
    float mix = 1.0f;
    float q = 1.414f;
    float sampleRate = 44100.0f;
    Filter filter1, filter2;
    float filteredPeak = 0.0f;  // the largest filtered sample so far, either channel

    void process(const float* const* inputs, float* const* outputs, std::int32_t sampleFrames, double ppqPos,
                 double tempo) {
        static const std::int32_t divisors[12] = {1, 2, 3, 4, 6, 8, 12, 16, 24, 32, 48, 64};
        const double pi = 3.141592653589793;
        const float P = 4.0f / static_cast<float>(divisors[periodIndex]);
        const double pos0 = ppqPos;
        const double bpm = tempo;
        const double d = 1.0 / (static_cast<double>(sampleRate) / (bpm / 60.0));
        if (sampleFrames < 1) return;
        const float s80 = sinf(1.3962634f);
        for (std::int32_t i = 0; i < sampleFrames; ++i) {
            const float pos = static_cast<float>(static_cast<double>(i) * d + pos0);
            float r = fmodf(pos, P);
            if (r < 0.0f) r = r + P;
            float h = r / P;
            if (std::isnan(h)) h = 0.0f;
            const float t = h > 0.5f ? 1.0f - h : h;
            const float a = static_cast<float>(static_cast<double>(t) * pi);
            const float o = sinf(a);
            const float b = static_cast<float>(static_cast<double>(o) * pi / 2.25);
            const float o2 = sinf(b);
            const float k = o2 / s80;
            const float span = freq2 - freq1;
            const float m = k * span;
            const float omega = (freq2 - m) * 6.2831855f;
            for (Filter* f : {&filter1, &filter2}) {
                float w = omega / sampleRate;
                w = w < 1.0e-5f ? 1.0e-5f : (w > 2.98f ? 2.98f : w);
                const float sn = sinf(w);
                const float cs = cosf(w);
                const float alpha = sn / (q + q);
                f->a0 = alpha + 1.0f;
                f->a1 = cs * -2.0f;
                f->a2 = 1.0f - alpha;
                f->b1 = 1.0f - cs;
                f->b0 = f->b1 * 0.5f;
                f->b2 = f->b0;
            }
            step(filter1, inputs[0][i], outputs[0][i]);
            step(filter2, inputs[1][i], outputs[1][i]);
        }
    }

private:
    void step(Filter& f, float x, float& out) {
        float y = (f.b0 / f.a0) * x;
        y = y + (f.b1 / f.a0) * f.x1;
        y = y + (f.b2 / f.a0) * f.x2;
        y = y - (f.a1 / f.a0) * f.y1;
        y = y - (f.a2 / f.a0) * f.y2;
        f.x2 = f.x1;
        f.x1 = x;
        f.y2 = f.y1;
        f.y1 = y;
        filteredPeak = std::fabs(y) > filteredPeak ? std::fabs(y) : filteredPeak;
        const float dry = (1.0f - mix) * x;
        const float wet = mix * y;
        out = dry + wet;
    }
};
