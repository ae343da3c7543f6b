// Names of effect opcodes for reports: "effGetVendorString" reads better
// than 47 in a line that says where a plug-in crashed.
#pragma once

#include <cstdint>
#include <string>

namespace vsthost::validate {

// The standard name, or "opcode N" for numbers without one.
std::string effectOpcodeName(std::int32_t opcode);

}  // namespace vsthost::validate
