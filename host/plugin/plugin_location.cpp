#include "plugin_location.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "host/text/failure.h"

namespace vsthost {

namespace {

namespace fs = std::filesystem;

constexpr const char* kFileName = "dravelkint.so";

std::vector<std::string> defaultCandidates() {
    std::vector<std::string> candidates;
    std::error_code error;
    const fs::path executable = fs::read_symlink("/proc/self/exe", error);
    if (!error) {
        const fs::path dir = executable.parent_path();
        candidates.push_back((dir / kFileName).string());
        candidates.push_back((dir.parent_path() / "lib" / "vst" / kFileName).string());
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        candidates.push_back((fs::path(home) / ".vst" / kFileName).string());
    return candidates;
}

}  // namespace

std::string resolvePluginPath(const std::optional<std::string>& requested) {
    if (requested) return *requested;
    const std::vector<std::string> candidates = defaultCandidates();
    std::string places;
    for (const std::string& candidate : candidates) {
        std::error_code error;
        if (fs::is_regular_file(candidate, error)) return candidate;
        places += (places.empty() ? "" : ", ") + candidate;
    }
    throw Failure(FailureKind::plugin,
                  "the Dravelkint plug-in was not found (looked in " + places + "); name one with --plugin PATH");
}

}  // namespace vsthost
