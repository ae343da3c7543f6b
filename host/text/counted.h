// A count with its noun, singular for one: "1 program", "3 programs".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vsthost {

// `plural` for nouns that do not just take an s ("1 of its samples" needs none).
inline std::string counted(std::int64_t count, std::string_view singular, std::string_view plural = {}) {
    std::string text = std::to_string(count) + " ";
    if (count == 1 || count == -1) return text.append(singular);
    if (!plural.empty()) return text.append(plural);
    return text.append(singular).append("s");
}

}  // namespace vsthost
