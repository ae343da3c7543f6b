#include "audio_file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "host/text/failure.h"

namespace vsthost {

namespace {

Failure inputFailure(const std::string& path, const std::string& what) {
    return Failure(FailureKind::input, "input '" + path + "' " + what);
}

}  // namespace

AudioFileReader::AudioFileReader(std::string path) : path_(std::move(path)) {
    const bool standardInput = path_ == "-";
    const int fd = standardInput ? STDIN_FILENO : ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw inputFailure(path_, std::string("cannot be read: ") + std::strerror(errno));
    struct stat st {};
    if (!standardInput && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(fd);
        throw inputFailure(path_, "is not a regular file");
    }
    file = sf_open_fd(fd, SFM_READ, &info, standardInput ? SF_FALSE : SF_TRUE);
    if (file == nullptr) {
        const std::string why = sf_strerror(nullptr);
        if (standardInput)
            throw inputFailure(path_, "(standard input) is not audio libsndfile can read from a pipe: " + why +
                                          "; wav, aiff, au and ogg stream, flac and mp3 need a file");
        throw inputFailure(path_, "is not an audio file libsndfile can read: " + why);
    }
    if (info.channels < 1 || info.samplerate < 1) {
        sf_close(file);
        throw inputFailure(path_, "has no channels or no sample rate");
    }
    frames_ = info.frames == SF_COUNT_MAX || info.frames < 0 ? -1 : info.frames;
    promised_ = frames_;
    findPromisedLength();
}

// libsndfile reads a WAV or AIFF file cut short up to where it ends, and
// says so only in its log: "data : 2640000 (should be 99870)", for AIFF
// indented: " SSND : 604808 (should be 302372)". The header's figure gives
// the length the file was meant to have.
void AudioFileReader::findPromisedLength() {
    if (frames_ <= 0) return;
    char log[8192] = {};
    sf_command(file, SFC_GET_LOG_INFO, log, sizeof log);
    for (const char* line = log; *line != '\0';) {
        const char* end = std::strchr(line, '\n');
        const std::string full(line, end != nullptr ? static_cast<std::size_t>(end - line) : std::strlen(line));
        line = end != nullptr ? end + 1 : line + full.size();
        const std::string text = full.substr(std::min(full.find_first_not_of(' '), full.size()));
        const bool sound = text.rfind("SSND", 0) == 0;
        if (text.rfind("data", 0) != 0 && !sound) continue;
        // AIFF's sound chunk counts 8 bytes of offset and block size before the samples.
        const long long before = sound ? 8 : 0;
        long long claimed = 0;
        long long held = 0;
        const std::size_t colon = text.find(':');
        if (colon == std::string::npos ||
            std::sscanf(text.c_str() + colon + 1, " %lld (should be %lld)", &claimed, &held) != 2 || held <= before ||
            claimed <= held)
            continue;
        promised_ = static_cast<std::int64_t>(static_cast<double>(frames_) * static_cast<double>(claimed - before) /
                                              static_cast<double>(held - before));
        return;
    }
}

std::vector<std::pair<int, std::string>> AudioFileReader::tags() const {
    std::vector<std::pair<int, std::string>> found;
    for (int tag = SF_STR_FIRST; tag <= SF_STR_LAST; ++tag)
        if (const char* text = sf_get_string(file, tag); text != nullptr && text[0] != '\0')
            found.emplace_back(tag, text);
    return found;
}

AudioFileReader::~AudioFileReader() { sf_close(file); }

std::int64_t AudioFileReader::read(float* interleaved, std::int64_t frames) {
    const sf_count_t got = sf_readf_float(file, interleaved, frames);
    if (got < frames && sf_error(file) != SF_ERR_NO_ERROR)
        throw inputFailure(path_, std::string("could not be read to its end: ") + sf_strerror(file));
    return got;
}

}  // namespace vsthost
