// Text laid out in columns as a terminal shows it: a UTF-8 character ("°",
// "µ") takes one column, however many bytes it has.
#pragma once

#include <cstddef>
#include <string>

namespace vsthost {

inline std::size_t columnsOf(const std::string& text) {
    std::size_t columns = 0;
    for (char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++columns;
    return columns;
}

inline std::string padded(const std::string& text, std::size_t width) {
    const std::size_t columns = columnsOf(text);
    return columns >= width ? text : text + std::string(width - columns, ' ');
}

}  // namespace vsthost
