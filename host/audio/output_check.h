// Looks at every sample a render writes before any encoder sees it: the
// peak, samples past full scale, and unusable samples. Into a format that
// cannot hold those (anything but float and double), they go on as silence
// (not a number) or full scale (infinite or absurdly loud): encoders abort
// or fail on them, and a file kept with --keep-bad-output must still play.
#pragma once

#include <cstdint>
#include <vector>

#include "audio_stream.h"
#include "unusable_samples.h"

namespace vsthost {

struct OutputFindings {
    UnusableSamples unusable;
    bool replaced = false;           // unusable samples went on as silence or full scale
    std::int64_t pastFullScale = 0;  // finite samples beyond -1 to 1
    double peak = 0.0;               // largest finite magnitude
    std::int64_t samples = 0;

    bool usable() const { return unusable.count == 0; }
};

class OutputCheck : public AudioSink {
public:
    OutputCheck(AudioSink& next, std::int32_t channels, bool replaceUnusable)
        : next_(next), channels_(channels), replace_(replaceUnusable) {
        findings_.replaced = replaceUnusable;
    }
    void write(const float* interleaved, std::int64_t frames) override;
    const OutputFindings& findings() const { return findings_; }

private:
    AudioSink& next_;
    std::int32_t channels_;
    bool replace_;
    std::int64_t frame_ = 0;
    OutputFindings findings_;
    std::vector<float> mended_;
};

}  // namespace vsthost
