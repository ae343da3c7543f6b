// The names of the record's opcodes and flags as declared beside this file,
// and its four-character codes as text, for hosts' reports: "effGetVendorString"
// reads better than 47 in a line that says where a plug-in crashed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The declared name, or "opcode N" for numbers without one.
std::string effectOpcodeName(std::int32_t opcode);
std::string hostOpcodeName(std::int32_t opcode);

// The names of the flags set in a record's flags without their "effFlags"
// prefix ("CanReplacing"), in bit order; a bit without a name as
// "unnamed flag 0x40".
std::vector<std::string> effectFlagNames(std::int32_t flags);

// The four characters of a code, most significant first ("kZrn"), with
// unprintable bytes escaped as \xNN.
std::string fourCharText(std::int32_t code);
