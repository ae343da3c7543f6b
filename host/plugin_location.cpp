#include "plugin_location.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace vsthost {

namespace fs = std::filesystem;

std::vector<std::string> defaultPluginCandidates(const std::string& fileName) {
    std::vector<std::string> candidates;
    std::error_code error;
    const fs::path executable = fs::read_symlink("/proc/self/exe", error);
    if (!error) {
        const fs::path dir = executable.parent_path();
        candidates.push_back((dir / fileName).string());
        candidates.push_back((dir.parent_path() / "lib" / "vst" / fileName).string());
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        candidates.push_back((fs::path(home) / ".vst" / fileName).string());
    return candidates;
}

std::optional<std::string> findDefaultPlugin(const std::string& fileName) {
    for (const std::string& candidate : defaultPluginCandidates(fileName)) {
        std::error_code error;
        if (fs::is_regular_file(candidate, error)) return candidate;
    }
    return std::nullopt;
}

}  // namespace vsthost
