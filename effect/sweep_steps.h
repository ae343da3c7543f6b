// The sweep's steps over a batch of samples: from the position of each
// sample to the coefficients its filters run with. Two builds give the same
// bits: the scalar one calls the C library for every remainder, sine and
// cosine, and the vector one (AVX2 and FMA) evaluates them as the library
// does, eight samples at a time. Each instance picks one when it is made.
#pragma once

#include <cstdint>

// Samples per batch: eight vectors of eight.
inline constexpr std::int32_t kBatch = 64;

// What every sample of a block shares.
struct SweepClock {
    double start;  // quarter notes at the block's first sample
    double step;   // quarter notes per sample
    float period;  // quarter notes
    float sin80;   // the sweep's normaliser, sinf of 80 degrees
};

// The fields every sample reads afresh from memory, so that a host writing
// one during a block is heard from the next sample that reads it.
struct LiveFields {
    const float* freq1;
    const float* freq2;
    const float* q;
    const float* sampleRate;
};

// Per sample: the coefficients divided by a0 (b2 equals b0), and the sine,
// cosine and Q they came from, for the set the filters keep after the block.
struct SweepBatch {
    alignas(32) float b0[kBatch];
    alignas(32) float b1[kBatch];
    alignas(32) float a1[kBatch];
    alignas(32) float a2[kBatch];
    alignas(32) float sine[kBatch];
    alignas(32) float cosine[kBatch];
    alignas(32) float q[kBatch];
};

enum class SweepSteps { scalar, avx2 };

// Samples first to first + count - 1 of the block (count at most kBatch).
void sweepScalar(SweepBatch& batch, const SweepClock& clock, const LiveFields& live, std::int32_t first,
                 std::int32_t count);

// The same in whole vectors of eight: the lanes past the last sample carry
// the positions that would follow it and are never filtered. Call only
// where vectorStepsAvailable() (vector_support.h) says so.
void sweepAvx2(SweepBatch& batch, const SweepClock& clock, const LiveFields& live, std::int32_t first,
               std::int32_t count);
