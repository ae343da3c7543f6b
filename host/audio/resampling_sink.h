// Converts a render's output to another sample rate on its way to a file,
// for formats that hold only some rates (Opus: 48 kHz and a few below).
// libsoxr at its very high quality.
#pragma once

#include <cstdint>
#include <vector>

#include "audio_stream.h"

struct soxr;

namespace vsthost {

class ResamplingSink : public AudioSink {
public:
    ResamplingSink(AudioSink& next, std::int32_t channels, double fromRate, double toRate);
    ~ResamplingSink() override;
    ResamplingSink(const ResamplingSink&) = delete;
    ResamplingSink& operator=(const ResamplingSink&) = delete;

    void write(const float* interleaved, std::int64_t frames) override;
    // Passes on what the filter still holds; call once, after the last write.
    void finish();

private:
    void pass(const float* interleaved, std::int64_t frames);

    AudioSink& next_;
    std::int32_t channels_;
    double ratio_;
    soxr* resampler_ = nullptr;
    std::vector<float> out_;
};

}  // namespace vsthost
