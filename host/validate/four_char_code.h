// A record's four-character codes as a report shows them: 'kZrn' when all
// four are printable, the number otherwise.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace vsthost::validate {

inline std::string fourCharText(std::int32_t code) {
    const auto bits = static_cast<std::uint32_t>(code);
    std::string text = "'";
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>((bits >> shift) & 0xFFu);
        if (c < 0x20 || c > 0x7E) {
            char number[16];
            std::snprintf(number, sizeof number, "0x%08X", bits);
            return number;
        }
        text += c;
    }
    return text + "'";
}

}  // namespace vsthost::validate
