// The sweep's steps in AVX2 and FMA, eight samples to a vector: each step is
// the scalar step's operations in the same order and precision, so every
// lane gets the scalar bits. The library's remainder, sine and cosine are
// replaced by exact_remainder.h and library_sincos.h, which give its bits.
//
// Each step runs over every vector of the batch before the next starts: the
// vectors are independent, so the processor works on several at once
// instead of waiting on one vector's long chain of steps.
#include "effect/sweep_steps.h"

#include <immintrin.h>

#include "effect/sweep.h"
#include "exact_remainder.h"
#include "library_sincos.h"

namespace {

constexpr std::int32_t kLanes = 8;
// Vectors per call of the sines (whose two halves in double already
// interleave); more only add spills.
constexpr std::int32_t kSineVectors = 1;
constexpr std::int32_t kSineLanes = kSineVectors * kLanes;

// One value per lane of the batch between two steps.
struct Lanes {
    alignas(32) float value[kBatch];
    alignas(32) float freq1[kBatch];
    alignas(32) float freq2[kBatch];
    alignas(32) float rate[kBatch];
};

__m256 load(const float* lanes, std::int32_t j) { return _mm256_load_ps(lanes + j); }

// Narrowed to float after a double operation, as the scalar steps round.
__m256 toFloat(__m256d low, __m256d high) { return _mm256_set_m128(_mm256_cvtpd_ps(high), _mm256_cvtpd_ps(low)); }

__m256d lowHalf(__m256 lanes) { return _mm256_cvtps_pd(_mm256_castps256_ps128(lanes)); }

__m256d highHalf(__m256 lanes) { return _mm256_cvtps_pd(_mm256_extractf128_ps(lanes, 1)); }

// Every sample reads the fields from memory, so that a value written during
// the block is taken up by the next sample that reads it.
void readFields(Lanes& s, SweepBatch& batch, const LiveFields& live, std::int32_t lanes) {
    const volatile float* freq1 = live.freq1;
    const volatile float* freq2 = live.freq2;
    const volatile float* q = live.q;
    const volatile float* rate = live.sampleRate;
#pragma GCC unroll 8
    for (std::int32_t j = 0; j < lanes; ++j) {
        s.freq1[j] = *freq1;
        s.freq2[j] = *freq2;
        batch.q[j] = *q;
        s.rate[j] = *rate;
    }
}

// Each sample's position from its index, its remainder in the period, and
// its phase. A negative remainder continues the period backwards, and a
// position beyond single range carries no phase.
void phase(Lanes& s, const SweepClock& clock, std::int32_t first, std::int32_t lanes) {
    const float inverse = 1.0f / clock.period;
    const __m256 p = _mm256_set1_ps(clock.period);
    const __m256d step = _mm256_set1_pd(clock.step);
    const __m256d start = _mm256_set1_pd(clock.start);
    for (std::int32_t j = 0; j < lanes; j += kLanes) {
        const __m256d index =
            _mm256_add_pd(_mm256_set1_pd(static_cast<double>(first + j)), _mm256_setr_pd(0.0, 1.0, 2.0, 3.0));
        const __m256d next = _mm256_add_pd(index, _mm256_set1_pd(4.0));
        const __m256 position =
            toFloat(_mm256_add_pd(_mm256_mul_pd(index, step), start), _mm256_add_pd(_mm256_mul_pd(next, step), start));
        __m256 r = exactRemainder(position, clock.period, inverse);
        r = _mm256_blendv_ps(r, _mm256_add_ps(r, p), _mm256_cmp_ps(r, _mm256_setzero_ps(), _CMP_LT_OQ));
        const __m256 h = _mm256_div_ps(r, p);
        _mm256_store_ps(s.value + j, _mm256_blendv_ps(h, _mm256_setzero_ps(), _mm256_cmp_ps(h, h, _CMP_UNORD_Q)));
    }
}

// The triangle bent into an arch by its first sine.
void arch(Lanes& s, std::int32_t lanes) {
    const __m256d pi = _mm256_set1_pd(kPi);
    for (std::int32_t j = 0; j < lanes; j += kSineLanes) {
        __m256 angle[kSineVectors], sine[kSineVectors];
        for (int k = 0; k < kSineVectors; ++k) {
            const __m256 h = load(s.value, j + k * kLanes);
            const __m256 falling = _mm256_cmp_ps(h, _mm256_set1_ps(0.5f), _CMP_GT_OQ);
            const __m256 t = _mm256_blendv_ps(h, _mm256_sub_ps(_mm256_set1_ps(1.0f), h), falling);
            angle[k] = toFloat(_mm256_mul_pd(lowHalf(t), pi), _mm256_mul_pd(highHalf(t), pi));
        }
        librarySineOfArc(angle, sine);
        for (int k = 0; k < kSineVectors; ++k) _mm256_store_ps(s.value + j + k * kLanes, sine[k]);
    }
}

// The arch flattened by a sine over 0 to 80 degrees.
void flatten(Lanes& s, std::int32_t lanes) {
    const __m256d pi = _mm256_set1_pd(kPi);
    const __m256d divisor = _mm256_set1_pd(2.25);
    for (std::int32_t j = 0; j < lanes; j += kSineLanes) {
        __m256 angle[kSineVectors], sine[kSineVectors];
        for (int k = 0; k < kSineVectors; ++k) {
            const __m256 o = load(s.value, j + k * kLanes);
            angle[k] = toFloat(_mm256_div_pd(_mm256_mul_pd(lowHalf(o), pi), divisor),
                               _mm256_div_pd(_mm256_mul_pd(highHalf(o), pi), divisor));
        }
        librarySineOfArc(angle, sine);
        for (int k = 0; k < kSineVectors; ++k) _mm256_store_ps(s.value + j + k * kLanes, sine[k]);
    }
}

// The cut-off as an angle per sample, held where the filter is stable.
void cutoff(Lanes& s, float sin80, std::int32_t lanes) {
    const __m256 low = _mm256_set1_ps(kMinAngle);
    const __m256 high = _mm256_set1_ps(kMaxAngle);
    for (std::int32_t j = 0; j < lanes; j += kLanes) {
        const __m256 freq2 = load(s.freq2, j);
        const __m256 k = _mm256_div_ps(load(s.value, j), _mm256_set1_ps(sin80));
        const __m256 span = _mm256_sub_ps(freq2, load(s.freq1, j));
        const __m256 m = _mm256_mul_ps(k, span);
        const __m256 omega = _mm256_mul_ps(_mm256_sub_ps(freq2, m), _mm256_set1_ps(kTwoPi));
        const __m256 w = _mm256_div_ps(omega, load(s.rate, j));
        const __m256 held = _mm256_blendv_ps(w, high, _mm256_cmp_ps(w, high, _CMP_GT_OQ));
        _mm256_store_ps(s.value + j, _mm256_blendv_ps(held, low, _mm256_cmp_ps(w, low, _CMP_LT_OQ)));
    }
}

// The low-pass coefficients from the cut-off's sine and cosine, each divided by a0.
void coefficients(const Lanes& s, SweepBatch& batch, std::int32_t lanes) {
    const __m256 one = _mm256_set1_ps(1.0f);
    for (std::int32_t j = 0; j < lanes; j += kSineLanes) {
        __m256 w[kSineVectors], sine[kSineVectors], cosine[kSineVectors];
        for (int k = 0; k < kSineVectors; ++k) w[k] = load(s.value, j + k * kLanes);
        librarySinCos(w, sine, cosine);
        for (int k = 0; k < kSineVectors; ++k) {
            const std::int32_t at = j + k * kLanes;
            const __m256 q = load(batch.q, at);
            const __m256 alpha = _mm256_div_ps(sine[k], _mm256_add_ps(q, q));
            const __m256 a0 = _mm256_add_ps(alpha, one);
            const __m256 a1 = _mm256_mul_ps(cosine[k], _mm256_set1_ps(-2.0f));
            const __m256 a2 = _mm256_sub_ps(one, alpha);
            const __m256 b1 = _mm256_sub_ps(one, cosine[k]);
            const __m256 b0 = _mm256_mul_ps(b1, _mm256_set1_ps(0.5f));
            _mm256_store_ps(batch.b0 + at, _mm256_div_ps(b0, a0));
            _mm256_store_ps(batch.b1 + at, _mm256_div_ps(b1, a0));
            _mm256_store_ps(batch.a1 + at, _mm256_div_ps(a1, a0));
            _mm256_store_ps(batch.a2 + at, _mm256_div_ps(a2, a0));
            _mm256_store_ps(batch.sine + at, sine[k]);
            _mm256_store_ps(batch.cosine + at, cosine[k]);
        }
    }
}

}  // namespace

void sweepAvx2(SweepBatch& batch, const SweepClock& clock, const LiveFields& live, std::int32_t first,
               std::int32_t count) {
    const std::int32_t lanes = (count + kSineLanes - 1) / kSineLanes * kSineLanes;
    Lanes s;
    readFields(s, batch, live, lanes);
    phase(s, clock, first, lanes);
    arch(s, lanes);
    flatten(s, lanes);
    cutoff(s, clock.sin80, lanes);
    coefficients(s, batch, lanes);
}
