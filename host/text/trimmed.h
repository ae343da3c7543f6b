// Text as typed, without the spaces and tabs around it.
#pragma once

#include <string>
#include <string_view>

namespace vsthost {

inline std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// For a whole string, a string: also safe on a temporary.
inline std::string trimmed(const std::string& text) { return std::string(trimmed(std::string_view(text))); }

}  // namespace vsthost
