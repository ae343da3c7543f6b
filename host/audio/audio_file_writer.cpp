#include "audio_file_writer.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>

#include "host/text/failure.h"
#include "host/text/file_path.h"
#include "host/text/replaced_file.h"
#include "library_message.h"

namespace vsthost {

namespace {

Failure outputFailure(const std::string& path, const std::string& what) {
    return Failure(FailureKind::output, "output '" + path + "' " + what);
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

// The unfinished temporary file, read by signal handlers: the name is
// complete whenever `unfinishedReady` says so.
char unfinishedName[4096];
std::atomic<bool> unfinishedReady{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void publishUnfinished(const std::string& name) {
    unfinishedReady.store(false);
    if (name.size() >= sizeof unfinishedName) return;
    std::memcpy(unfinishedName, name.c_str(), name.size() + 1);
    unfinishedReady.store(true);
}

}  // namespace

const char* AudioFileWriter::unfinishedFile() { return unfinishedReady.load() ? unfinishedName : ""; }

AudioFileWriter::AudioFileWriter(std::string path, int format, int channels, int sampleRate) : path_(std::move(path)) {
    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = sampleRate;
    if (path_ == "-") {
        // The audio keeps standard output to itself: what a plug-in prints
        // there (now, or still buffered from before) goes to standard error.
        const int fd = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
        if (fd < 0 || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0)
            throw outputFailure(path_, std::string("(standard output) cannot be written: ") + std::strerror(errno));
        openStream(fd, true, "(standard output) ", info);
        return;
    }
    struct stat existing {};
    if (::stat(path_.c_str(), &existing) == 0 && (S_ISFIFO(existing.st_mode) || S_ISCHR(existing.st_mode))) {
        // Neither can be replaced by a file; what is written goes where it leads.
        const int fd = ::open(path_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) throw outputFailure(path_, std::string("cannot be written: ") + std::strerror(errno));
        openStream(fd, true, "", info);
        return;
    }
    const std::optional<std::string> followed = renameTarget(path_);
    if (!followed)
        throw outputFailure(path_, std::string("is a symbolic link that leads nowhere: ") + std::strerror(errno));
    target = *followed;
    const int fd = makeTemporaryBeside(target, temporary);
    if (fd < 0)
        throw outputFailure(path_, "cannot be written in '" + directoryOf(target) + "': " + std::strerror(errno));
    publishUnfinished(temporary);

    file = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
    if (file == nullptr) {
        const std::string reason = libraryMessage(sf_strerror(nullptr));
        ::close(fd);
        discard();
        throw outputFailure(path_, "cannot be written in this format: " + reason);
    }
    // Samples beyond full scale are clipped, not wrapped around.
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    // The peak chunk of float files carries the time of writing, so two
    // renders of the same audio would differ; without it they are identical.
    sf_command(file, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
}

// Standard output, a FIFO or a device: no temporary file, and only formats
// that stream, since nothing written can be gone back to.
void AudioFileWriter::openStream(int fd, bool closeWithFile, const std::string& what, SF_INFO& info) {
    file = sf_open_fd(fd, SFM_WRITE, &info, closeWithFile ? SF_TRUE : SF_FALSE);
    if (file == nullptr) {
        const std::string reason = libraryMessage(sf_strerror(nullptr));
        if (closeWithFile) ::close(fd);
        throw outputFailure(path_, what + "cannot be written in this format: " + reason);
    }
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

AudioFileWriter::~AudioFileWriter() {
    if (!committed) discard();
}

void AudioFileWriter::discard() {
    if (file != nullptr) sf_close(file);
    file = nullptr;
    if (temporary.empty()) return;
    unfinishedReady.store(false);
    ::unlink(temporary.c_str());
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
        if (::rename(temporary.c_str(), target.c_str()) != 0)
            throw outputFailure(path_, std::string("could not be given its name: ") + std::strerror(errno));
    } else if (!renameWithoutReplacing(temporary, target)) {
        if (errno == EEXIST) throw outputFailure(path_, "appeared while rendering; it was left as it was");
        throw outputFailure(path_, std::string("could not be given its name: ") + std::strerror(errno));
    }
    unfinishedReady.store(false);
    committed = true;
}

}  // namespace vsthost
