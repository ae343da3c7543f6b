// An audio file read block by block through libsndfile; "-" reads standard
// input.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

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
    std::int64_t frames() const override { return frames_; }
    std::int64_t read(float* interleaved, std::int64_t frames) override;

    const std::string& path() const { return path_; }
    int format() const { return info.format; }
    // The frames the file's header promises when the file holds fewer (a
    // copy cut short); otherwise frames().
    std::int64_t promisedFrames() const { return promised_; }
    // Title, artist and the other texts libsndfile reads, by its SF_STR_ number.
    std::vector<std::pair<int, std::string>> tags() const;

private:
    void findPromisedLength();

    std::string path_;
    SF_INFO info{};
    SNDFILE* file = nullptr;
    std::int64_t frames_ = -1;
    std::int64_t promised_ = -1;
};

}  // namespace vsthost
