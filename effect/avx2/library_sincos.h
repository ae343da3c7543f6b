// Single-precision sine and cosine of eight floats, evaluated exactly as the
// C library evaluates sinf and cosf on x86_64 processors with FMA (glibc,
// whose variant built for FMA and AVX2 is chosen by these same processor
// features): the float widened to double; the quadrant n taken as the
// library takes it, from x times 2^24 * 2/pi truncated to an integer, plus
// 2^23, shifted down by 24; the remainder x - n * pi/2 in one fused step;
// then in each quadrant one of two double polynomials in the same fused
// operations, and one rounding to float. For |x| below 0.75 the library
// skips the reduction, but there n is 0 and the remainder is x exactly, so
// one formula covers both.
//
// Lanes below 2^-12 in size take the library's shortcut (the angle itself,
// and 1); lanes from 120 up, infinities and NaN are handed to the library.
//
// Only for translation units built with AVX2 and FMA; everything here has
// internal linkage, so no other translation unit can end up calling a copy
// built for those processors.
#pragma once

#include <immintrin.h>

#include <cmath>

namespace {
namespace library_sincos {

inline constexpr double kQuadrantScale = 0x1.45f306dc9c883p+23;  // 2/pi * 2^24
inline constexpr double kHalfPi = 0x1.921fb54442d18p+0;

// The cosine polynomial for n & 2 clear; for n & 2 set the library uses the
// same coefficients negated.
inline constexpr double kC0 = 0x1p+0;
inline constexpr double kC1 = -0x1.ffffffd0c621cp-2;
inline constexpr double kC2 = 0x1.55553e1068f19p-5;
inline constexpr double kC3 = -0x1.6c087e89a359dp-10;
inline constexpr double kC4 = 0x1.99343027bf8c3p-16;
// The sine polynomial, the same in every quadrant; the sign goes on its argument.
inline constexpr double kS1 = -0x1.555545995a603p-3;
inline constexpr double kS2 = 0x1.1107605230bc4p-7;
inline constexpr double kS3 = -0x1.994eb3774cf24p-13;

inline constexpr int kTinyBits = 0x39800000;    // 2^-12
inline constexpr int kBeyondBits = 0x42f00000;  // 120
inline constexpr int kTwoBits = 0x40000000;     // 2

struct Pair {
    __m256 sine;
    __m256 cosine;
};

struct HalfPair {
    __m128 sine;
    __m128 cosine;
};

// The angles a caller can promise. Arcs from 0 to below 2 keep the quadrant
// n at 0 or 1, where the sine's sign is + and the cosine's table the first:
// fewer operations, the same bits. Lanes outside go to the library.
enum class Angles { any, fromZeroToTwo };

// One coefficient from the table of n & 2 clear or set, per lane.
inline __m256d fromTable(double clear, __m256d nTwo) {
    return _mm256_blendv_pd(_mm256_set1_pd(clear), _mm256_set1_pd(-clear), nTwo);
}

// Four lanes, each at least 2^-12 and below 120 in size (below 2, and not
// negative, for Angles::fromZeroToTwo).
template <Angles angles>
inline HalfPair evaluate(__m128 angle) {
    const __m256d x = _mm256_cvtps_pd(angle);
    const __m128i truncated = _mm256_cvttpd_epi32(_mm256_mul_pd(x, _mm256_set1_pd(kQuadrantScale)));
    const __m128i n = _mm_srai_epi32(_mm_add_epi32(truncated, _mm_set1_epi32(0x800000)), 24);
    const __m256d r = _mm256_fnmadd_pd(_mm256_cvtepi32_pd(n), _mm256_set1_pd(kHalfPi), x);

    // Blends read the top bit of each lane: move bits of n up there.
    const __m256i wide = _mm256_cvtepi32_epi64(n);
    const __m256d nOdd = _mm256_castsi256_pd(_mm256_slli_epi64(wide, 63));
    __m256d signedR = r;
    __m256d c0 = _mm256_set1_pd(kC0), c1 = _mm256_set1_pd(kC1), c2 = _mm256_set1_pd(kC2);
    __m256d c3 = _mm256_set1_pd(kC3), c4 = _mm256_set1_pd(kC4);
    if constexpr (angles == Angles::any) {
        // The sine's sign: -1 in quadrants 1 and 2 (n & 3), where bits 0 and 1 differ.
        const __m256d negative =
            _mm256_castsi256_pd(_mm256_slli_epi64(_mm256_xor_si256(wide, _mm256_srli_epi64(wide, 1)), 63));
        signedR = _mm256_mul_pd(r, _mm256_blendv_pd(_mm256_set1_pd(1.0), _mm256_set1_pd(-1.0), negative));
        const __m256d nTwo = _mm256_castsi256_pd(_mm256_slli_epi64(wide, 62));
        c0 = fromTable(kC0, nTwo);
        c1 = fromTable(kC1, nTwo);
        c2 = fromTable(kC2, nTwo);
        c3 = fromTable(kC3, nTwo);
        c4 = fromTable(kC4, nTwo);
    }
    const __m256d x2 = _mm256_mul_pd(r, r);

    const __m256d x3 = _mm256_mul_pd(x2, signedR);
    const __m256d s1 = _mm256_fmadd_pd(x2, _mm256_set1_pd(kS3), _mm256_set1_pd(kS2));
    const __m256d x7 = _mm256_mul_pd(x2, x3);
    const __m256d s = _mm256_fmadd_pd(x3, _mm256_set1_pd(kS1), signedR);
    const __m256d sinePolynomial = _mm256_fmadd_pd(s1, x7, s);

    const __m256d x4 = _mm256_mul_pd(x2, x2);
    const __m256d cosine1 = _mm256_fmadd_pd(x2, c1, c0);
    const __m256d cosine2 = _mm256_fmadd_pd(x2, c4, c3);
    const __m256d x6 = _mm256_mul_pd(x2, x4);
    const __m256d c = _mm256_fmadd_pd(x4, c2, cosine1);
    const __m256d cosinePolynomial = _mm256_fmadd_pd(cosine2, x6, c);

    // An odd quadrant swaps the two.
    return {_mm256_cvtpd_ps(_mm256_blendv_pd(sinePolynomial, cosinePolynomial, nOdd)),
            _mm256_cvtpd_ps(_mm256_blendv_pd(cosinePolynomial, sinePolynomial, nOdd))};
}

// The lanes the polynomials do not cover, one library call each.
template <bool withCosine>
[[gnu::noinline]] void handToLibrary(__m256 angle, int lanes, Pair& result) {
    alignas(32) float in[8];
    alignas(32) float sines[8];
    alignas(32) float cosines[8];
    _mm256_store_ps(in, angle);
    _mm256_store_ps(sines, result.sine);
    _mm256_store_ps(cosines, result.cosine);
    for (; lanes != 0; lanes &= lanes - 1) {
        const int j = __builtin_ctz(static_cast<unsigned>(lanes));
        sines[j] = sinf(in[j]);
        if constexpr (withCosine) cosines[j] = cosf(in[j]);
    }
    result.sine = _mm256_load_ps(sines);
    result.cosine = _mm256_load_ps(cosines);
}

template <Angles angles, bool withCosine>
inline Pair evaluate(__m256 angle) {
    // From 0 to 2 the sine's argument keeps its sign but the cosine's does not.
    static_assert(angles == Angles::any || !withCosine);
    const __m256i bits = _mm256_castps_si256(angle);
    const __m256i size = _mm256_and_si256(bits, _mm256_set1_epi32(0x7fffffff));
    const __m256i tiny = _mm256_cmpgt_epi32(_mm256_set1_epi32(kTinyBits), size);
    __m256i beyond;
    if constexpr (angles == Angles::any) {
        beyond = _mm256_cmpgt_epi32(size, _mm256_set1_epi32(kBeyondBits - 1));
    } else {
        const __m256i negative = _mm256_andnot_si256(tiny, _mm256_srai_epi32(bits, 31));
        beyond = _mm256_or_si256(_mm256_cmpgt_epi32(size, _mm256_set1_epi32(kTwoBits - 1)), negative);
    }
    // Lanes the polynomials do not take are evaluated at 1 instead, so that no
    // conversion of a huge value or NaN raises a floating-point exception.
    const __m256 aside = _mm256_castsi256_ps(_mm256_or_si256(tiny, beyond));
    const __m256 covered = _mm256_blendv_ps(angle, _mm256_set1_ps(1.0f), aside);
    const HalfPair low = evaluate<angles>(_mm256_castps256_ps128(covered));
    const HalfPair high = evaluate<angles>(_mm256_extractf128_ps(covered, 1));
    const __m256 isTiny = _mm256_castsi256_ps(tiny);
    Pair result{_mm256_blendv_ps(_mm256_set_m128(high.sine, low.sine), angle, isTiny),
                _mm256_blendv_ps(_mm256_set_m128(high.cosine, low.cosine), _mm256_set1_ps(1.0f), isTiny)};
    if (const int lanes = _mm256_movemask_ps(_mm256_castsi256_ps(beyond)); lanes != 0)
        handToLibrary<withCosine>(angle, lanes, result);
    return result;
}

}  // namespace library_sincos

// sinf of each lane, for angles from 0 to below 2 (others are handed on).
inline __m256 librarySineOfArc(__m256 angle) {
    using library_sincos::Angles;
    return library_sincos::evaluate<Angles::fromZeroToTwo, false>(angle).sine;
}

// sinf and cosf of each lane.
inline library_sincos::Pair librarySinCos(__m256 angle) {
    using library_sincos::Angles;
    return library_sincos::evaluate<Angles::any, true>(angle);
}

}  // namespace
