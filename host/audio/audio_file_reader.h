// An audio file read block by block through libsndfile; "-" reads standard
// input. A damaged file gives what can be read, and says what was lost.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <memory>
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
    // Throws Failure (input) at samples no file should hold (not a number,
    // infinite, past +100 dBFS), with their count in the whole file: the
    // audio is unusable, and a plug-in must not be blamed for it.
    std::int64_t read(float* interleaved, std::int64_t frames) override;
    std::string damage() const override;

    const std::string& path() const { return path_; }
    int format() const { return info.format; }
    // The frames the file's header promises when the file holds fewer (a
    // copy cut short); otherwise frames().
    std::int64_t promisedFrames() const { return promised_; }
    // Title, artist and the other texts libsndfile reads, by its SF_STR_ number.
    std::vector<std::pair<int, std::string>> tags() const;

private:
    void findPromisedLength();
    void readPastEmptyDataChunk();
    void refuseUnusable(const float* interleaved, std::int64_t frames);
    std::string seconds(std::int64_t frames) const;

    struct FileTail;

    std::string path_;
    std::unique_ptr<FileTail> tail_;  // the samples past an empty data chunk
    SF_INFO info{};
    SNDFILE* file = nullptr;
    std::int64_t frames_ = -1;
    std::int64_t promised_ = -1;
    std::int64_t read_ = 0;  // frames handed out so far
    bool ended_ = false;
    bool checksSamples_ = false;  // only float files can hold unusable samples
    std::string readError_;       // why reading stopped before the end
    std::string headerNote_;      // what the header got wrong, found at open
};

}  // namespace vsthost
