// A grid of settings under full-scale noise and then silence, each run
// through the processor and the unguarded model: every period, and the
// given values of Q, of both frequencies and of the tempo.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/plugin_instance.h"

float peakOf(const StereoBuffer& b);

// Full-scale noise, then silence while the filter rings out.
StereoBuffer burstThenSilence(std::size_t burst, std::size_t silence, std::uint32_t seed);

struct GuardGrid {
    // What the processor is compared with: the literal model, or (about ten
    // times faster) the processor itself with its guard held open.
    enum class Judge { model, processorWithoutGuard };
    Judge judge;
    std::vector<float> qs;
    std::vector<float> frequencies;  // each for Freq 1 and Freq 2
    std::vector<double> tempi;
    float noiseSeconds;
    float silenceSeconds;
};

struct GuardGridResult {
    int settings = 0;
    int runaways = 0;         // settings the model takes past the guard's bound
    float worstRatio = 0.0f;  // the processor's largest peak over its input's
    std::string failure;      // the first setting louder than the bound, or changed without a runaway
};

GuardGridResult scanGuardGrid(const GuardGrid& grid, unsigned threads);
