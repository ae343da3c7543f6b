// fmodf of eight positions by one period, computed exactly and fast.
//
// Why it is exact. Take x >= P > 0 (the sign of x is set aside and put back
// at the end, as fmodf keeps it) and let u be the value of P's last bit.
// Then x, P and every multiple n * P are multiples of u, and so is the true
// remainder rho = x - floor(x / P) * P, which lies in [0, P): it needs at
// most 24 bits and is a float. That is why a correct method gives the
// library's bits by definition.
//  - The quotient q = x * (1 / P) is rounded twice, each time by less than
//    one part in 2^23 (in any rounding mode). For x below 2^21 * P it is
//    below 2^21, so it is off by less than 1/2, and rounded to the nearest
//    integer it gives n = floor(x / P) or the next integer up, exactly.
//  - x - n * P is then rho or rho - P: a multiple of u smaller than P in
//    size, so again a float. The fused multiply-add computes it exactly and
//    rounds once: it stays exact.
//  - Where it is negative, adding P gives rho, once more a float: exact.
// Sizes below P are x itself; from 2^21 * P up (131072 quarter notes at the
// shortest period), and for infinities and NaN, the library computes the lane.
//
// Only for translation units built with AVX2 and FMA (internal linkage, as
// library_sincos.h explains).
#pragma once

#include <immintrin.h>

#include <cmath>

namespace {
namespace exact_remainder {

inline constexpr float kFastQuotients = 0x1p21f;

[[gnu::noinline]] inline void handToLibrary(__m256 x, float period, int lanes, __m256& result) {
    alignas(32) float in[8];
    alignas(32) float out[8];
    _mm256_store_ps(in, x);
    _mm256_store_ps(out, result);
    for (; lanes != 0; lanes &= lanes - 1) {
        const int j = __builtin_ctz(static_cast<unsigned>(lanes));
        out[j] = fmodf(in[j], period);
    }
    result = _mm256_load_ps(out);
}

}  // namespace exact_remainder

// fmodf(x, period) of each lane; `inverse` is 1.0f / period.
inline __m256 exactRemainder(__m256 x, float period, float inverse) {
    const __m256 signBit = _mm256_set1_ps(-0.0f);
    const __m256 p = _mm256_set1_ps(period);
    const __m256 size = _mm256_andnot_ps(signBit, x);
    const __m256 fast = _mm256_cmp_ps(size, _mm256_set1_ps(period * exact_remainder::kFastQuotients), _CMP_LT_OQ);
    // Lanes left to the library are computed at P instead, which raises no
    // floating-point exception.
    const __m256 taken = _mm256_blendv_ps(p, size, fast);
    const __m256 n =
        _mm256_round_ps(_mm256_mul_ps(taken, _mm256_set1_ps(inverse)), _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
    __m256 r = _mm256_fnmadd_ps(n, p, taken);
    r = _mm256_add_ps(r, _mm256_and_ps(_mm256_cmp_ps(r, _mm256_setzero_ps(), _CMP_LT_OQ), p));
    // The sign of x, also on a zero remainder.
    __m256 result = _mm256_or_ps(_mm256_andnot_ps(signBit, r), _mm256_and_ps(signBit, x));
    result = _mm256_blendv_ps(result, x, _mm256_cmp_ps(size, p, _CMP_LT_OQ));
    if (const int lanes = ~_mm256_movemask_ps(fast) & 0xff; lanes != 0)
        exact_remainder::handToLibrary(x, period, lanes, result);
    return result;
}

}  // namespace
