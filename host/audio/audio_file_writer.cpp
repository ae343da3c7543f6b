#include "audio_file_writer.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include "host/text/failure.h"
#include "host/text/file_path.h"
#include "library_message.h"

namespace vsthost {

namespace {

constexpr std::size_t kLongestKeptName = 200;

Failure outputFailure(const std::string& path, const std::string& what) {
    return Failure(FailureKind::output, "output '" + path + "' " + what);
}

mode_t currentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// Atomic even against a file made by someone else after the render began.
bool renameWithoutReplacing(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // File systems without that rename still refuse to link over a name.
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    ::unlink(from.c_str());
    return true;
}

}  // namespace

AudioFileWriter::AudioFileWriter(std::string path, int format, int channels, int sampleRate) : path_(std::move(path)) {
    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = sampleRate;
    if (path_ == "-") {
        // Standard output: no temporary file, and only formats that stream.
        file = sf_open_fd(STDOUT_FILENO, SFM_WRITE, &info, SF_FALSE);
        if (file == nullptr)
            throw outputFailure(
                path_, "(standard output) cannot be written in this format: " + libraryMessage(sf_strerror(nullptr)));
        sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
        return;
    }
    // The name's own length must leave room for the temporary name's additions
    // within the 255 bytes a file name may have.
    std::string kept = fileNameOf(path_);
    if (kept.size() > kLongestKeptName) kept.resize(kLongestKeptName);
    std::string pattern = directoryOf(path_) + "/." + kept + ".XXXXXX.part";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkostemps(name.data(), 5, O_CLOEXEC);
    if (fd < 0)
        throw outputFailure(path_, "cannot be written in '" + directoryOf(path_) + "': " + std::strerror(errno));
    temporary = name.data();
    // mkstemp makes the file private; a finished audio file gets the usual rights.
    ::fchmod(fd, 0666 & ~currentUmask());

    file = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
    if (file == nullptr) {
        const std::string reason = libraryMessage(sf_strerror(nullptr));
        ::close(fd);
        ::unlink(temporary.c_str());
        throw outputFailure(path_, "cannot be written in this format: " + reason);
    }
    // Samples beyond full scale are clipped, not wrapped around.
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    // The peak chunk of float files carries the time of writing, so two
    // renders of the same audio would differ; without it they are identical.
    sf_command(file, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
}

AudioFileWriter::~AudioFileWriter() {
    if (!committed) discard();
}

void AudioFileWriter::discard() {
    if (file != nullptr) sf_close(file);
    file = nullptr;
    if (!temporary.empty()) ::unlink(temporary.c_str());
}

void AudioFileWriter::setTags(const std::vector<std::pair<int, std::string>>& tags) {
    // A format without a place for a tag refuses it; the audio matters more.
    for (const auto& [tag, text] : tags) sf_set_string(file, tag, text.c_str());
}

void AudioFileWriter::setQuality(double quality) {
    // Variable bit rate spends bits where the music needs them; libsndfile's
    // scale runs the other way, 0 being the least compression.
    int mode = SF_BITRATE_MODE_VARIABLE;
    sf_command(file, SFC_SET_BITRATE_MODE, &mode, sizeof mode);
    double level = 1.0 - quality;
    sf_command(file, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level);
}

void AudioFileWriter::write(const float* interleaved, std::int64_t frames) {
    if (sf_writef_float(file, interleaved, frames) != frames)
        throw outputFailure(path_, "could not be written: " + libraryMessage(sf_strerror(file)));
}

void AudioFileWriter::commit(bool replace) {
    sf_write_sync(file);
    const int closed = sf_close(file);
    file = nullptr;
    if (closed != 0) throw outputFailure(path_, "could not be finished: " + libraryMessage(sf_error_number(closed)));
    if (temporary.empty()) {
        committed = true;
        return;
    }
    if (replace) {
        if (::rename(temporary.c_str(), path_.c_str()) != 0)
            throw outputFailure(path_, std::string("could not be given its name: ") + std::strerror(errno));
    } else if (!renameWithoutReplacing(temporary, path_)) {
        if (errno == EEXIST) throw outputFailure(path_, "appeared while rendering; it was left as it was");
        throw outputFailure(path_, std::string("could not be given its name: ") + std::strerror(errno));
    }
    committed = true;
}

}  // namespace vsthost
