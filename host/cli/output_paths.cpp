#include "output_paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <optional>

#include "host/audio/audio_format.h"
#include "host/text/failure.h"
#include "host/text/file_path.h"
#include "host/text/replaced_file.h"

namespace vsthost {

namespace {

// What a path that is neither a regular file nor a directory is, for messages.
std::string kindOf(mode_t mode) {
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

// What stands at a path that is to be written, a symbolic link followed.
// Refuses a file the render reads (by device and inode, so hard and
// symbolic links to it too), a directory and a link that leads nowhere.
template <typename MakeFailure>
std::optional<struct stat> existing(const std::string& path, const std::vector<ReadFile>& reads,
                                    const MakeFailure& fail) {
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0) return std::nullopt;
    struct stat out {};
    if (::stat(path.c_str(), &out) != 0)
        throw fail(std::string("is a symbolic link that leads nowhere: ") + std::strerror(errno));
    for (const ReadFile& read : reads) {
        struct stat in {};
        if (read.path != "-" && ::stat(read.path.c_str(), &in) == 0 && in.st_dev == out.st_dev &&
            in.st_ino == out.st_ino)
            throw fail("is the " + read.role + " file; the " + read.role + " is never overwritten");
    }
    if (S_ISDIR(out.st_mode)) throw fail("is a directory");
    return out;
}

// Refuses a path whose directory does not take new files; for a symbolic
// link, the directory of the file it leads to, where the new file is made.
template <typename MakeFailure>
void checkDirectory(const std::string& path, const MakeFailure& fail) {
    const std::string dir = directoryOf(renameTarget(path).value_or(path));
    struct stat d {};
    if (::stat(dir.c_str(), &d) != 0) throw fail("cannot be written: directory '" + dir + "': " + std::strerror(errno));
    if (!S_ISDIR(d.st_mode)) throw fail("cannot be written: '" + dir + "' is not a directory");
    if (::access(dir.c_str(), W_OK | X_OK) != 0)
        throw fail("cannot be written: directory '" + dir + "': " + std::strerror(errno));
}

}  // namespace

int checkOutput(const RenderSettingsOptions& options, const std::vector<ReadFile>& reads) {
    const std::string& output = options.output;
    const auto fail = [&](const std::string& what) {
        return Failure(FailureKind::output, "output '" + output + "' " + what);
    };
    const std::optional<int> container = options.format ? containerFor("x." + *options.format) : containerFor(output);
    if (output == "-") {
        if (!options.format)
            throw Failure(FailureKind::usage,
                          "standard output ('-') needs --format with one of the formats that stream (" +
                              streamingExtensions() + ")");
        if (!streams(*container))
            throw Failure(FailureKind::usage, "standard output ('-') takes only formats that stream (" +
                                                  streamingExtensions() + "), not ." + *options.format);
        return *container;
    }
    if (const std::optional<struct stat> out = existing(output, reads, fail)) {
        if (S_ISFIFO(out->st_mode) || S_ISCHR(out->st_mode)) {
            // Written into as standard output is, never replaced, so nothing is lost by it.
            const std::string what = "is " + kindOf(out->st_mode) +
                                     ", which is written into as standard output is, in a format that streams (" +
                                     streamingExtensions() + ")";
            if (!container) throw fail(what + "; give one with --format");
            if (!streams(*container))
                throw fail(what + ", not ." +
                           (options.format ? *options.format : output.substr(output.rfind('.') + 1)));
            return *container;
        }
        if (!S_ISREG(out->st_mode))
            throw fail("is " + kindOf(out->st_mode) +
                       "; the output is written only as a regular file, a FIFO or a character device");
        if (!options.overwrite) throw fail("already exists; add --overwrite to replace it");
    }
    if (!container) throw fail("has no audio file extension this tool knows (" + knownExtensions() + ")");
    checkDirectory(output, fail);
    return *container;
}

void checkPictureOutput(const RenderSettingsOptions& options, const std::vector<ReadFile>& reads) {
    const std::string& output = *options.spectrogram;
    const auto fail = [&](const std::string& what) {
        return Failure(FailureKind::output, "picture '" + output + "' " + what);
    };
    const std::size_t dot = output.rfind('.');
    std::string extension = dot == std::string::npos ? "" : output.substr(dot);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension != ".png") throw fail("needs the extension .png");
    if (const std::optional<struct stat> out = existing(output, reads, fail)) {
        if (!S_ISREG(out->st_mode))
            throw fail("is " + kindOf(out->st_mode) + "; the picture is written only as a regular file");
        if (!options.overwrite) throw fail("already exists; add --overwrite to replace it");
    }
    checkDirectory(output, fail);
}

std::string nothingWrittenTo(const RenderSettingsOptions& options) {
    return "; nothing was written to " +
           (options.output == "-" ? std::string("standard output") : "'" + options.output + "'");
}

}  // namespace vsthost
