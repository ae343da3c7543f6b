// Numbers in messages to a few significant figures, as printf's %g writes
// them: exact digits would bury what a reader needs ("0.000123", "1e+30").
#pragma once

#include <string>

namespace vsthost {

std::string threeFigures(double value);   // "0.0123", "1.23e+04"
std::string sixFigures(double value);     // "0.5", "1e+30", "nan"
std::string secondsText(double seconds);  // "0.15 s"

}  // namespace vsthost
