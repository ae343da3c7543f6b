// Numbers typed on the command line or found in a file: a whole text that is
// one finite decimal number, nothing before or after it.
#pragma once

#include <optional>
#include <string_view>

namespace vsthost {

std::optional<double> parseDecimal(std::string_view text);

}  // namespace vsthost
