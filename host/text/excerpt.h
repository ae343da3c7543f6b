// Text the user gave, as a message quotes it: whole when it is short, else
// its start and its length, so a 100 KB keyframe never floods the terminal.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vsthost {

inline std::string excerpt(std::string_view text, std::size_t most = 60) {
    if (text.size() <= most) return std::string(text);
    std::size_t cut = most - 20;
    // Never inside a character of several bytes.
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return std::string(text.substr(0, cut)) + "... (" + std::to_string(text.size()) + " characters)";
}

}  // namespace vsthost
