#include "kernels.h"

#include <immintrin.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "exact_remainder.h"
#include "library_sincos.h"

namespace {

constexpr std::size_t kLanes = 8;

// Runs `kernel` over whole vectors, and over the rest through a padded copy.
template <typename Kernel>
void overArray(const float* in, std::size_t count, Kernel kernel) {
    std::size_t i = 0;
    for (; i + kLanes <= count; i += kLanes) kernel(_mm256_loadu_ps(in + i), i, kLanes);
    if (i < count) {
        float rest[kLanes] = {};
        std::memcpy(rest, in + i, (count - i) * sizeof(float));
        kernel(_mm256_loadu_ps(rest), i, count - i);
    }
}

void store(float* out, __m256 lanes, std::size_t n) {
    float all[kLanes];
    _mm256_storeu_ps(all, lanes);
    std::memcpy(out, all, n * sizeof(float));
}

std::uint32_t bitsOf(float v) {
    std::uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

}  // namespace

void librarySinCosAvx2(const float* angles, float* sines, float* cosines, std::size_t count) {
    overArray(angles, count, [&](__m256 a, std::size_t at, std::size_t n) {
        const __m256 angle[1] = {a};
        __m256 sine[1], cosine[1];
        librarySinCos(angle, sine, cosine);
        store(sines + at, sine[0], n);
        store(cosines + at, cosine[0], n);
    });
}

void librarySineOfArcAvx2(const float* angles, float* sines, std::size_t count) {
    overArray(angles, count, [&](__m256 a, std::size_t at, std::size_t n) {
        const __m256 angle[1] = {a};
        __m256 sine[1];
        librarySineOfArc(angle, sine);
        store(sines + at, sine[0], n);
    });
}

void exactRemainderAvx2(const float* positions, float period, float* remainders, std::size_t count) {
    const float inverse = 1.0f / period;
    overArray(positions, count, [&](__m256 x, std::size_t at, std::size_t n) {
        store(remainders + at, exactRemainder(x, period, inverse), n);
    });
}

bool avx2SinCosMatchLibrary() {
    // The first two differ between the library's plain and FMA variants,
    // the next two from correctly rounded results; then the edges of the
    // processor's range and of the polynomials' branches.
    const float probes[kLanes] = {0x1.ab6152p+5f, 0x1.1475b6p+4f, 0x1.a6a58ep-11f, 0x1.0da308p-9f,
                                  2.98f,          0.75f,          0x1p-12f,        1.3962634f};
    float sines[kLanes];
    float cosines[kLanes];
    librarySinCosAvx2(probes, sines, cosines, kLanes);
    // Called through pointers: the compiler would otherwise fold the calls on
    // constants into correctly rounded values, which is not what the library gives.
    float (*volatile sinOf)(float) = sinf;
    float (*volatile cosOf)(float) = cosf;
    for (std::size_t j = 0; j < kLanes; ++j)
        if (bitsOf(sines[j]) != bitsOf(sinOf(probes[j])) || bitsOf(cosines[j]) != bitsOf(cosOf(probes[j])))
            return false;
    return true;
}
