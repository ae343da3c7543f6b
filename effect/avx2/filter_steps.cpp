// The filter step with both channels in one vector: lane 0 is channel 0,
// lane 1 channel 1. Every operation is the scalar step's, on two lanes.
#include "effect/filter_steps.h"

#include <immintrin.h>

#include <cfloat>

namespace {

__m128 pairOf(float left, float right) { return _mm_unpacklo_ps(_mm_set_ss(left), _mm_set_ss(right)); }

__m128 pairAt(const float* left, const float* right) { return _mm_unpacklo_ps(_mm_load_ss(left), _mm_load_ss(right)); }

// A lane whose step went past the guard's bound starts afresh: its history
// cleared, its filtered share silenced (a NaN input passes as NaN).
[[gnu::always_inline]] inline __m128 startAfresh(__m128 tripped, __m128 x, __m128 y, __m128 (&history)[4]) {
    for (__m128& h : history) h = _mm_andnot_ps(tripped, h);
    const __m128 silenced = _mm_blendv_ps(_mm_setzero_ps(), x, _mm_cmp_ps(x, x, _CMP_UNORD_Q));
    return _mm_blendv_ps(y, silenced, tripped);
}

}  // namespace

void filterAvx2(const SweepBatch& batch, std::int32_t first, std::int32_t count, ChannelRun& left, ChannelRun& right,
                const float& mix) {
    const volatile float* wet = &mix;
    // Locals: the compiler cannot tell that the outputs never hold the pointers.
    const float* const in0 = left.in;
    const float* const in1 = right.in;
    float* const out0 = left.out;
    float* const out1 = right.out;
    const __m128 signBit = _mm_set1_ps(-0.0f);
    const __m128 one = _mm_set1_ps(1.0f);
    const __m128 fall = _mm_set1_ps(kLevelFall);
    const __m128 gain = _mm_set1_ps(kRunawayGain);
    const __m128 largest = _mm_set1_ps(FLT_MAX);
    // x1, x2, y1, y2 of both filters
    __m128 history[4] = {pairOf(left.filter.x1, right.filter.x1), pairOf(left.filter.x2, right.filter.x2),
                         pairOf(left.filter.y1, right.filter.y1), pairOf(left.filter.y2, right.filter.y2)};
    __m128 level = pairOf(left.level.peak, right.level.peak);
    for (std::int32_t j = 0; j < count; ++j) {
        const std::int32_t i = first + j;
        const __m128 x = pairAt(in0 + i, in1 + i);

        // The recent level: the larger of the sample's size (none if it is not
        // finite) and the fallen peak, which wins a tie as in the scalar step.
        const __m128 size = _mm_andnot_ps(signBit, x);
        const __m128 finiteSize = _mm_and_ps(_mm_cmp_ps(size, largest, _CMP_LE_OQ), size);
        level = _mm_max_ps(finiteSize, _mm_mul_ps(level, fall));

        const __m128 b0 = _mm_broadcast_ss(batch.b0 + j);
        const __m128 b1 = _mm_broadcast_ss(batch.b1 + j);
        const __m128 a1 = _mm_broadcast_ss(batch.a1 + j);
        const __m128 a2 = _mm_broadcast_ss(batch.a2 + j);
        __m128 y = _mm_add_ps(_mm_add_ps(_mm_mul_ps(b0, x), _mm_mul_ps(b1, history[0])), _mm_mul_ps(b0, history[1]));
        y = _mm_sub_ps(_mm_sub_ps(y, _mm_mul_ps(a1, history[2])), _mm_mul_ps(a2, history[3]));
        history[1] = history[0];
        history[0] = x;
        history[3] = history[2];
        history[2] = y;

        const __m128 tripped =
            _mm_cmp_ps(_mm_andnot_ps(signBit, y), _mm_mul_ps(level, gain), _CMP_NLE_UQ);  // not within, or NaN
        if (_mm_movemask_ps(tripped) != 0) [[unlikely]]
            y = startAfresh(tripped, x, y, history);

        const float wet0 = *wet;  // read for each channel, as the scalar step does
        const float wet1 = *wet;
        const __m128 share = _mm_setr_ps(wet0, wet1, wet0, wet1);
        const __m128 out = _mm_add_ps(_mm_mul_ps(_mm_sub_ps(one, share), x), _mm_mul_ps(share, y));
        _mm_store_ss(out0 + i, out);
        out1[i] = _mm_cvtss_f32(_mm_shuffle_ps(out, out, 1));
    }
    left.filter.x1 = _mm_cvtss_f32(history[0]);
    right.filter.x1 = _mm_cvtss_f32(_mm_shuffle_ps(history[0], history[0], 1));
    left.filter.x2 = _mm_cvtss_f32(history[1]);
    right.filter.x2 = _mm_cvtss_f32(_mm_shuffle_ps(history[1], history[1], 1));
    left.filter.y1 = _mm_cvtss_f32(history[2]);
    right.filter.y1 = _mm_cvtss_f32(_mm_shuffle_ps(history[2], history[2], 1));
    left.filter.y2 = _mm_cvtss_f32(history[3]);
    right.filter.y2 = _mm_cvtss_f32(_mm_shuffle_ps(history[3], history[3], 1));
    left.level.peak = _mm_cvtss_f32(level);
    right.level.peak = _mm_cvtss_f32(_mm_shuffle_ps(level, level, 1));
}
