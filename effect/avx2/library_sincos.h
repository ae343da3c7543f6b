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
#include <utility>

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

// Calls f(0) to f(N - 1), each inlined: a step written for one vector runs
// on all N before the next step, so their independent chains interleave
// and the processor is not left waiting on any one of them.
template <int N, typename F>
[[gnu::always_inline]] inline void each(F&& f) {
    [&]<int... k>(std::integer_sequence<int, k...>) { (f(k), ...); }
    (std::make_integer_sequence<int, N>{});
}

// The angles a caller can promise. Arcs from 0 to below 2 keep the quadrant
// n at 0 or 1, where the sine's sign is + and the cosine's table the first:
// fewer operations, the same bits. Lanes outside go to the library.
enum class Angles { any, fromZeroToTwo };

// One coefficient from the table of n & 2 clear or set, per lane.
inline __m256d fromTable(double clear, __m256d nTwo) {
    return _mm256_blendv_pd(_mm256_set1_pd(clear), _mm256_set1_pd(-clear), nTwo);
}

// The polynomials over H vectors of four doubles, each at least 2^-12 and
// below 120 in size (below 2, and not negative, for Angles::fromZeroToTwo).
template <Angles angles, bool withCosine, int H>
[[gnu::always_inline]] inline void polynomials(const __m256d (&x)[H], __m128 (&sine)[H], __m128 (&cosine)[H]) {
    __m128i n[H];
    each<H>([&](int k) { n[k] = _mm256_cvttpd_epi32(_mm256_mul_pd(x[k], _mm256_set1_pd(kQuadrantScale))); });
    each<H>([&](int k) { n[k] = _mm_srai_epi32(_mm_add_epi32(n[k], _mm_set1_epi32(0x800000)), 24); });
    __m256d r[H];
    each<H>([&](int k) { r[k] = _mm256_fnmadd_pd(_mm256_cvtepi32_pd(n[k]), _mm256_set1_pd(kHalfPi), x[k]); });

    // Blends read the top bit of each lane: move bits of n up there.
    __m256i wide[H];
    __m256d nOdd[H];
    each<H>([&](int k) { wide[k] = _mm256_cvtepi32_epi64(n[k]); });
    each<H>([&](int k) { nOdd[k] = _mm256_castsi256_pd(_mm256_slli_epi64(wide[k], 63)); });
    __m256d signedR[H];
    __m256d c0[H], c1[H], c2[H], c3[H], c4[H];
    if constexpr (angles == Angles::any) {
        // The sine's sign: -1 in quadrants 1 and 2 (n & 3), where bits 0 and 1 differ.
        each<H>([&](int k) {
            const __m256i flips = _mm256_xor_si256(wide[k], _mm256_srli_epi64(wide[k], 1));
            const __m256d negative = _mm256_castsi256_pd(_mm256_slli_epi64(flips, 63));
            signedR[k] = _mm256_mul_pd(r[k], _mm256_blendv_pd(_mm256_set1_pd(1.0), _mm256_set1_pd(-1.0), negative));
        });
        each<H>([&](int k) {
            const __m256d nTwo = _mm256_castsi256_pd(_mm256_slli_epi64(wide[k], 62));
            c0[k] = fromTable(kC0, nTwo);
            c1[k] = fromTable(kC1, nTwo);
            c2[k] = fromTable(kC2, nTwo);
            c3[k] = fromTable(kC3, nTwo);
            c4[k] = fromTable(kC4, nTwo);
        });
    } else {
        each<H>([&](int k) {
            signedR[k] = r[k];
            c0[k] = _mm256_set1_pd(kC0);
            c1[k] = _mm256_set1_pd(kC1);
            c2[k] = _mm256_set1_pd(kC2);
            c3[k] = _mm256_set1_pd(kC3);
            c4[k] = _mm256_set1_pd(kC4);
        });
    }
    __m256d x2[H], x3[H], s1[H], x7[H], s[H], sinePolynomial[H];
    each<H>([&](int k) { x2[k] = _mm256_mul_pd(r[k], r[k]); });
    each<H>([&](int k) { x3[k] = _mm256_mul_pd(x2[k], signedR[k]); });
    each<H>([&](int k) { s1[k] = _mm256_fmadd_pd(x2[k], _mm256_set1_pd(kS3), _mm256_set1_pd(kS2)); });
    each<H>([&](int k) { x7[k] = _mm256_mul_pd(x2[k], x3[k]); });
    each<H>([&](int k) { s[k] = _mm256_fmadd_pd(x3[k], _mm256_set1_pd(kS1), signedR[k]); });
    each<H>([&](int k) { sinePolynomial[k] = _mm256_fmadd_pd(s1[k], x7[k], s[k]); });

    __m256d x4[H], cosine1[H], cosine2[H], x6[H], c[H], cosinePolynomial[H];
    each<H>([&](int k) { x4[k] = _mm256_mul_pd(x2[k], x2[k]); });
    each<H>([&](int k) { cosine1[k] = _mm256_fmadd_pd(x2[k], c1[k], c0[k]); });
    each<H>([&](int k) { cosine2[k] = _mm256_fmadd_pd(x2[k], c4[k], c3[k]); });
    each<H>([&](int k) { x6[k] = _mm256_mul_pd(x2[k], x4[k]); });
    each<H>([&](int k) { c[k] = _mm256_fmadd_pd(x4[k], c2[k], cosine1[k]); });
    each<H>([&](int k) { cosinePolynomial[k] = _mm256_fmadd_pd(cosine2[k], x6[k], c[k]); });

    // An odd quadrant swaps the two.
    each<H>(
        [&](int k) { sine[k] = _mm256_cvtpd_ps(_mm256_blendv_pd(sinePolynomial[k], cosinePolynomial[k], nOdd[k])); });
    if constexpr (withCosine)
        each<H>([&](int k) {
            cosine[k] = _mm256_cvtpd_ps(_mm256_blendv_pd(cosinePolynomial[k], sinePolynomial[k], nOdd[k]));
        });
}

// The lanes the polynomials do not cover, one library call each.
template <bool withCosine>
[[gnu::noinline]] void handToLibrary(__m256 angle, int lanes, __m256& sine, __m256& cosine) {
    alignas(32) float in[8];
    alignas(32) float sines[8];
    alignas(32) float cosines[8];
    _mm256_store_ps(in, angle);
    _mm256_store_ps(sines, sine);
    _mm256_store_ps(cosines, cosine);
    for (; lanes != 0; lanes &= lanes - 1) {
        const int j = __builtin_ctz(static_cast<unsigned>(lanes));
        sines[j] = sinf(in[j]);
        if constexpr (withCosine) cosines[j] = cosf(in[j]);
    }
    sine = _mm256_load_ps(sines);
    cosine = _mm256_load_ps(cosines);
}

// N vectors of eight angles at once.
// Inlined, so that the constants stay in registers across a step's loop.
template <Angles angles, bool withCosine, int N>
[[gnu::always_inline]] inline void evaluate(const __m256 (&angle)[N], __m256 (&sine)[N], __m256 (&cosine)[N]) {
    // From 0 to 2 the sine's argument keeps its sign but the cosine's does not.
    static_assert(angles == Angles::any || !withCosine);
    __m256 tiny[N], beyond[N], covered[N];
    each<N>([&](int k) {
        const __m256i bits = _mm256_castps_si256(angle[k]);
        const __m256i size = _mm256_and_si256(bits, _mm256_set1_epi32(0x7fffffff));
        const __m256i small = _mm256_cmpgt_epi32(_mm256_set1_epi32(kTinyBits), size);
        __m256i outside;
        if constexpr (angles == Angles::any) {
            outside = _mm256_cmpgt_epi32(size, _mm256_set1_epi32(kBeyondBits - 1));
        } else {
            const __m256i negative = _mm256_andnot_si256(small, _mm256_srai_epi32(bits, 31));
            outside = _mm256_or_si256(_mm256_cmpgt_epi32(size, _mm256_set1_epi32(kTwoBits - 1)), negative);
        }
        tiny[k] = _mm256_castsi256_ps(small);
        beyond[k] = _mm256_castsi256_ps(outside);
        // Lanes the polynomials do not take are evaluated at 1 instead, so that
        // no conversion of a huge value or NaN raises a floating-point exception.
        covered[k] = _mm256_blendv_ps(angle[k], _mm256_set1_ps(1.0f), _mm256_or_ps(tiny[k], beyond[k]));
    });
    __m256d x[2 * N];
    __m128 halfSine[2 * N], halfCosine[2 * N];
    each<N>([&](int k) {
        x[2 * k] = _mm256_cvtps_pd(_mm256_castps256_ps128(covered[k]));
        x[2 * k + 1] = _mm256_cvtps_pd(_mm256_extractf128_ps(covered[k], 1));
    });
    polynomials<angles, withCosine>(x, halfSine, halfCosine);
    each<N>([&](int k) {
        sine[k] = _mm256_blendv_ps(_mm256_set_m128(halfSine[2 * k + 1], halfSine[2 * k]), angle[k], tiny[k]);
        if constexpr (withCosine)
            cosine[k] = _mm256_blendv_ps(_mm256_set_m128(halfCosine[2 * k + 1], halfCosine[2 * k]),
                                         _mm256_set1_ps(1.0f), tiny[k]);
    });
    each<N>([&](int k) {
        if (const int lanes = _mm256_movemask_ps(beyond[k]); lanes != 0)
            handToLibrary<withCosine>(angle[k], lanes, sine[k], cosine[k]);
    });
}

}  // namespace library_sincos

// sinf of each lane of N vectors, for angles from 0 to below 2 (others are handed on).
template <int N>
[[gnu::always_inline]] inline void librarySineOfArc(const __m256 (&angle)[N], __m256 (&sine)[N]) {
    using library_sincos::Angles;
    __m256 unused[N] = {};
    library_sincos::evaluate<Angles::fromZeroToTwo, false>(angle, sine, unused);
}

// sinf and cosf of each lane of N vectors.
template <int N>
[[gnu::always_inline]] inline void librarySinCos(const __m256 (&angle)[N], __m256 (&sine)[N], __m256 (&cosine)[N]) {
    library_sincos::evaluate<library_sincos::Angles::any, true>(angle, sine, cosine);
}

}  // namespace
