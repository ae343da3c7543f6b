// Times as a clock shows them, for messages: "1:05.3".
#pragma once

#include <string>

namespace vsthost {

// Minutes and seconds, the seconds with `decimals` places (0 to 3), rounded
// before they are split, so 59.96 s with one place is "1:00.0".
std::string clockTime(double seconds, int decimals);

}  // namespace vsthost
