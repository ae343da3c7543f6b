// Texts a plug-in writes into host buffers: NUL-terminated, and nothing
// written past the bound the host's buffer is sized for.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "verdict.h"

namespace vsthost::validate {

// Longest texts, in characters, that hosts size their buffers for (one more
// byte holds the NUL).
constexpr std::int32_t kParameterTextBound = 8;
constexpr std::int32_t kProgramNameBound = 24;
constexpr std::int32_t kEffectNameBound = 32;
constexpr std::int32_t kVendorTextBound = 64;

struct WrittenText {
    bool written = false;     // anything in the buffer changed at all
    bool terminated = false;  // a NUL among the changed bytes
    std::string text;         // up to the NUL
    std::int32_t extent = 0;  // bytes from the start of the buffer to the last one changed
};

// Lets `write` fill a buffer that is far larger than any bound and prefilled
// with a pattern, and reports what it changed.
WrittenText probeText(const std::function<void(char*)>& write);

// Nothing when the text keeps within `bound`. Otherwise the finding:
// unterminated texts and texts that write past 64 bytes, the buffer hosts
// commonly give, fail at any strictness; texts that only pass the bound fail
// from strictness 7 and warn below.
std::optional<Outcome> judgeText(const WrittenText& written, std::int32_t bound, const std::string& what,
                                 int strictness);

}  // namespace vsthost::validate
