// One plug-in found installed, as `dravelkint list` shows it: its format,
// the name it gives itself, where it is (an LV2 URI or a VST 2.4 library's
// path) and its audio channels, or why it could not be read.
#pragma once

#include <cstdint>
#include <string>

namespace vsthost {

struct InstalledPlugin {
    std::string format;    // "LV2" or "VST 2.4", as Plugin::format() says it
    std::string name;      // its own, or the file's for one that could not be read
    std::string location;  // URI or path
    std::int32_t inputs = 0;
    std::int32_t outputs = 0;
    std::string problem;  // empty for one that was read; the channels are unknown otherwise
};

}  // namespace vsthost
