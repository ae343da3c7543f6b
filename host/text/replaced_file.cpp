#include "replaced_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <vector>

#include "file_path.h"

namespace vsthost {

namespace {

// The name's own length must leave room for the temporary name's additions
// within the 255 bytes a file name may have.
constexpr std::size_t kLongestKeptName = 200;

}  // namespace

std::optional<std::string> renameTarget(const std::string& path) {
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return path;
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr) return std::nullopt;
    return std::string(resolved);
}

int makeTemporaryBeside(const std::string& target, std::string& temporary) {
    std::string kept = fileNameOf(target);
    if (kept.size() > kLongestKeptName) kept.resize(kLongestKeptName);
    const std::string pattern = directoryOf(target) + "/." + kept + ".XXXXXX.part";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkostemps(name.data(), 5, O_CLOEXEC);
    if (fd < 0) return -1;
    temporary = name.data();
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        // Owner first: a change of owner clears some of the mode's bits.
        // Only root may give the file away; anyone else keeps it as made.
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) (void)::fchown(fd, old.st_uid, old.st_gid);
        // No set-user-ID and the like: this is audio or a picture.
        ::fchmod(fd, old.st_mode & 0777);
    } else {
        // mkstemp makes the file private; a new file gets the usual rights.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    return fd;
}

}  // namespace vsthost
