#include "audio_file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw inputFailure(path_, std::string("cannot be read: ") + std::strerror(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw inputFailure(path_, "is not a regular file");
    }
    file = sf_open_fd(fd, SFM_READ, &info, SF_TRUE);
    if (file == nullptr)
        throw inputFailure(path_, std::string("is not an audio file libsndfile can read: ") + sf_strerror(nullptr));
    if (info.channels < 1 || info.samplerate < 1) {
        sf_close(file);
        throw inputFailure(path_, "has no channels or no sample rate");
    }
}

AudioFileReader::~AudioFileReader() { sf_close(file); }

std::int64_t AudioFileReader::read(float* interleaved, std::int64_t frames) {
    const sf_count_t got = sf_readf_float(file, interleaved, frames);
    if (got < frames && sf_error(file) != SF_ERR_NO_ERROR)
        throw inputFailure(path_, std::string("could not be read to its end: ") + sf_strerror(file));
    return got;
}

}  // namespace vsthost
