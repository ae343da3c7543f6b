// An audio file read block by block through libsndfile.
#pragma once

#include <sndfile.h>

#include <string>

#include "audio_stream.h"

namespace vsthost {

class AudioFileReader : public AudioSource {
public:
    // Throws Failure (input) naming the file when it is missing, unreadable
    // or not audio that libsndfile understands.
    explicit AudioFileReader(std::string path);
    ~AudioFileReader() override;
    AudioFileReader(const AudioFileReader&) = delete;
    AudioFileReader& operator=(const AudioFileReader&) = delete;

    std::int32_t channels() const override { return info.channels; }
    double sampleRate() const override { return info.samplerate; }
    std::int64_t frames() const override { return info.frames; }
    std::int64_t read(float* interleaved, std::int64_t frames) override;

    const std::string& path() const { return path_; }
    int format() const { return info.format; }

private:
    std::string path_;
    SF_INFO info{};
    SNDFILE* file = nullptr;
};

}  // namespace vsthost
