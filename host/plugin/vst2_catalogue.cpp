#include "vst2_catalogue.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <system_error>

namespace vsthost {

namespace {

namespace fs = std::filesystem;

// Subfolders are walked by hand, following links to folders (a ~/.vst that
// links to a package's folder is common) but never into one twice, so that
// a link back up does not loop.
void addLibrariesUnder(const fs::path& folder, std::set<fs::path>& seenFolders, std::set<fs::path>& seenFiles,
                       std::vector<std::string>& found) {
    std::error_code error;
    const fs::path real = fs::canonical(folder, error);
    if (error || !seenFolders.insert(real).second) return;
    std::vector<fs::path> entries;
    for (fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, error), end;
         !error && it != end; it.increment(error))
        entries.push_back(it->path());
    // The same order on every system, whatever the file system's.
    std::sort(entries.begin(), entries.end());
    for (const fs::path& entry : entries) {
        std::error_code statError;
        const fs::file_status status = fs::status(entry, statError);
        if (statError) continue;
        if (fs::is_directory(status)) {
            addLibrariesUnder(entry, seenFolders, seenFiles, found);
        } else if (fs::is_regular_file(status) && entry.extension() == ".so") {
            const fs::path file = fs::canonical(entry, statError);
            if (!statError && seenFiles.insert(file).second) found.push_back(entry.string());
        }
    }
}

}  // namespace

std::vector<std::string> vst2Folders() {
    std::vector<std::string> folders;
    if (const char* path = std::getenv("VST_PATH"); path != nullptr) {
        const std::string text = path;
        std::size_t start = 0;
        while (start <= text.size()) {
            const std::size_t colon = std::min(text.find(':', start), text.size());
            if (colon > start) folders.push_back(text.substr(start, colon - start));
            start = colon + 1;
        }
        return folders;
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        folders.push_back((fs::path(home) / ".vst").string());
    folders.push_back("/usr/lib/vst");
    folders.push_back("/usr/local/lib/vst");
#ifdef DRAVELKINT_MULTIARCH
    // The triplet this program was built for, where Debian puts a package's
    // libraries for that architecture.
    folders.push_back("/usr/lib/" DRAVELKINT_MULTIARCH "/vst");
#endif
    return folders;
}

std::vector<std::string> vst2Libraries(const std::vector<std::string>& folders) {
    std::set<fs::path> seenFolders;
    std::set<fs::path> seenFiles;
    std::vector<std::string> found;
    for (const std::string& folder : folders) addLibrariesUnder(folder, seenFolders, seenFiles, found);
    return found;
}

}  // namespace vsthost
