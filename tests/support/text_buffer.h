// A host text buffer pre-filled with a pattern, so that a check sees the
// text, the NUL padding up to the bound, the NUL at the bound and every byte
// after it that must stay untouched.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

struct PatternBuffer {
    static constexpr unsigned char kPattern = 0x7F;
    PatternBuffer() { bytes.fill(static_cast<char>(kPattern)); }
    char* data() { return bytes.data(); }
    std::array<char, 40> bytes;
};

// `text` cut to `bound`, NUL bytes up to and at position `bound`, the pattern after.
inline ::testing::AssertionResult holdsBounded(const PatternBuffer& b, const std::string& text, std::int32_t bound) {
    const std::size_t limit = static_cast<std::size_t>(bound);
    const std::size_t shown = std::min(text.size(), limit);
    for (std::size_t i = 0; i < b.bytes.size(); ++i) {
        const unsigned char expected = i < shown    ? static_cast<unsigned char>(text[i])
                                       : i <= limit ? 0
                                                    : PatternBuffer::kPattern;
        const unsigned char got = static_cast<unsigned char>(b.bytes[i]);
        if (got != expected)
            return ::testing::AssertionFailure() << "byte " << i << " is " << int(got) << " instead of "
                                                 << int(expected) << " for \"" << text << "\" with bound " << bound;
    }
    return ::testing::AssertionSuccess();
}

inline bool untouched(const PatternBuffer& b) {
    for (char c : b.bytes)
        if (static_cast<unsigned char>(c) != PatternBuffer::kPattern) return false;
    return true;
}
