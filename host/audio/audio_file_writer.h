// An audio file written block by block into a temporary file beside its
// destination, which takes the destination's name only on commit(): a failed
// or interrupted render leaves neither half a file nor a damaged old one. A
// symbolic link is followed: the file it names is replaced and keeps its
// rights, as an older file does. "-" (standard output), a FIFO and a
// character device are written into directly, in formats that stream.
#pragma once

#include <sndfile.h>

#include <string>
#include <utility>
#include <vector>

#include "audio_stream.h"

namespace vsthost {

class AudioFileWriter : public AudioSink {
public:
    // `format` is a complete libsndfile format. Throws Failure (output) when
    // the temporary file cannot be made or libsndfile refuses the format.
    AudioFileWriter(std::string path, int format, int channels, int sampleRate);
    ~AudioFileWriter() override;  // removes the temporary file unless committed
    AudioFileWriter(const AudioFileWriter&) = delete;
    AudioFileWriter& operator=(const AudioFileWriter&) = delete;

    void write(const float* interleaved, std::int64_t frames) override;
    // Title, artist and the like, by libsndfile's SF_STR_ number; before
    // the first write. Tags the format has no place for are left out.
    void setTags(const std::vector<std::pair<int, std::string>>& tags);

    // For mp3, Vorbis and Opus, before the first write: from 0 (smallest
    // file) to 1 (best sound), at a variable bit rate.
    void setQuality(double quality);

    // Finishes the file and gives it its name. Without `replace` an existing
    // file of that name, even one made while rendering, is left alone and the
    // commit fails.
    void commit(bool replace);

    const std::string& path() const { return path_; }
    const std::string& temporaryPath() const { return temporary; }  // empty when written directly

    // The temporary file of the writer at work, for a handler that must end
    // the process at once; empty when there is none. Safe in a signal handler.
    static const char* unfinishedFile();

private:
    void discard();
    void openStream(int fd, bool closeWithFile, const std::string& what, SF_INFO& info);

    std::string path_;
    std::string target;  // where the temporary file goes on commit
    std::string temporary;
    SNDFILE* file = nullptr;
    bool committed = false;
};

}  // namespace vsthost
