#include "figures.h"

#include <cstdio>

namespace vsthost {

namespace {

std::string formatted(const char* format, double value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

std::string threeFigures(double value) { return formatted("%.3g", value); }

std::string sixFigures(double value) { return formatted("%g", value); }

std::string secondsText(double seconds) { return formatted("%g s", seconds); }

}  // namespace vsthost
