#include "clock_time.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vsthost {

std::string clockTime(double seconds, int decimals) {
    const double scale = std::pow(10.0, decimals);
    const double ticks = std::round(std::max(seconds, 0.0) * scale);
    const auto minutes = static_cast<long long>(std::floor(ticks / (60.0 * scale)));
    const double rest = (ticks - static_cast<double>(minutes) * 60.0 * scale) / scale;
    char text[48];
    std::snprintf(text, sizeof text, "%lld:%0*.*f", minutes, decimals > 0 ? decimals + 3 : 2, decimals, rest);
    return text;
}

}  // namespace vsthost
