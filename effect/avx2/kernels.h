// The vector remainder, sine and cosine over plain arrays: for the tests
// that compare them with the library over every input the processor can
// pass, and for the check of the library. Call only where
// processorRunsAvx2Fma() (vector_support.h) says so.
#pragma once

#include <cstddef>

// sinf and cosf of each angle.
void librarySinCosAvx2(const float* angles, float* sines, float* cosines, std::size_t count);

// sinf of each angle, by the shorter route for arcs from 0 to below 2.
void librarySineOfArcAvx2(const float* angles, float* sines, std::size_t count);

// fmodf(position, period) of each position.
void exactRemainderAvx2(const float* positions, float period, float* remainders, std::size_t count);

// True where the library's sinf and cosf give the vector bits at a few
// points where its plain and FMA variants, and correct rounding, differ.
bool avx2SinCosMatchLibrary();
