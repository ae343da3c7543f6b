// Where a render takes its audio from and where it puts the result: frames
// of interleaved 32-bit float samples, a block at a time.
#pragma once

#include <cstdint>
#include <string>

namespace vsthost {

class AudioSource {
public:
    virtual ~AudioSource() = default;
    virtual std::int32_t channels() const = 0;
    virtual double sampleRate() const = 0;
    virtual std::int64_t frames() const = 0;  // total length, or -1 when unknown
    // Fills up to `frames` frames; answers fewer only at the end.
    virtual std::int64_t read(float* interleaved, std::int64_t frames) = 0;
    // Once read to its end, what a damaged source could not give, as a
    // sentence naming it; empty when nothing was lost.
    virtual std::string damage() const { return {}; }
};

class AudioSink {
public:
    virtual ~AudioSink() = default;
    virtual void write(const float* interleaved, std::int64_t frames) = 0;
};

}  // namespace vsthost
