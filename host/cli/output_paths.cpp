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

namespace vsthost {

namespace {

// Refuses a path that is a file the render reads, a directory, or that
// exists without --overwrite. `fail` makes the failure that names the output.
template <typename MakeFailure>
void checkExisting(const std::string& path, bool overwrite, const std::vector<ReadFile>& reads,
                   const MakeFailure& fail) {
    struct stat out {};
    if (::stat(path.c_str(), &out) == 0) {
        for (const ReadFile& read : reads) {
            struct stat in {};
            if (read.path != "-" && ::stat(read.path.c_str(), &in) == 0 && in.st_dev == out.st_dev &&
                in.st_ino == out.st_ino)
                throw fail("is the " + read.role + " file; the " + read.role + " is never overwritten");
        }
        if (S_ISDIR(out.st_mode)) throw fail("is a directory");
        if (!overwrite) throw fail("already exists; add --overwrite to replace it");
    }
}

// Refuses a path whose directory does not take new files.
template <typename MakeFailure>
void checkDirectory(const std::string& path, const MakeFailure& fail) {
    const std::string dir = directoryOf(path);
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
    checkExisting(output, options.overwrite, reads, fail);
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
    checkExisting(output, options.overwrite, reads, fail);
    checkDirectory(output, fail);
}

std::string nothingWrittenTo(const RenderSettingsOptions& options) {
    return "; nothing was written to " +
           (options.output == "-" ? std::string("standard output") : "'" + options.output + "'");
}

}  // namespace vsthost
