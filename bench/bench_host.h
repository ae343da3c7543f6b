// A minimal host for the benchmarks: answers the version and the time query
// with a transport that moves on by each processed block, and owns the stereo
// buffers of one instance.
#pragma once

#include <cstdint>
#include <vector>

#include "frame/effect_record.h"
#include "frame/time_info.h"

class BenchHost {
public:
    explicit BenchHost(float sampleRate, double tempo = 120.0);
    ~BenchHost();
    BenchHost(const BenchHost&) = delete;
    BenchHost& operator=(const BenchHost&) = delete;

    // Processes one block of `frames` from the given input through the
    // record and advances the transport.
    void process(const float* const* inputs, float* const* outputs, std::int32_t frames);
    void setParameter(std::int32_t index, float value);

    AEffect* effect = nullptr;
    VstTimeInfo time{};
};

// Stereo buffers of one block.
struct StereoBlock {
    explicit StereoBlock(std::int32_t frames);
    std::vector<float> left, right;
    float* channels[2];
    float* const* data() { return channels; }
};

// Deterministic noise in [-amplitude, amplitude).
void fillNoise(StereoBlock& block, float amplitude, std::uint32_t seed);
