// Looks at every sample a render writes: the peak, samples past full scale,
// and samples no file should hold (not a number, infinite, or louder than
// +100 dBFS, which no signal path reaches by design).
#pragma once

#include <cstdint>

#include "audio_stream.h"

namespace vsthost {

struct OutputFindings {
    std::int64_t unusable = 0;        // non-finite or past +100 dBFS
    std::int64_t firstUnusable = -1;  // its frame
    std::int64_t nonFinite = 0;       // of those, not finite
    std::int64_t pastFullScale = 0;   // finite samples beyond -1 to 1
    double peak = 0.0;                // largest finite magnitude
    std::int64_t samples = 0;

    bool usable() const { return unusable == 0; }
};

class OutputCheck : public AudioSink {
public:
    static constexpr double kAbsurd = 1e5;  // +100 dBFS

    OutputCheck(AudioSink& next, std::int32_t channels) : next_(next), channels_(channels) {}
    void write(const float* interleaved, std::int64_t frames) override;
    const OutputFindings& findings() const { return findings_; }

private:
    AudioSink& next_;
    std::int32_t channels_;
    std::int64_t frame_ = 0;
    OutputFindings findings_;
};

}  // namespace vsthost
