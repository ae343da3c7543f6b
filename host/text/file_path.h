// The parts of a file's path that messages and temporary files need.
#pragma once

#include <string>

namespace vsthost {

// The directory part of a path: "." for a bare name, "/" for one at the root.
inline std::string directoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The name after the last '/'.
inline std::string fileNameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace vsthost
