// Numbers typed by a user and read back out of a plug-in's display texts,
// at the edges of what a double holds: a number or nothing, never NaN, and
// a number too large for a double is infinite, never zero.
#include <gtest/gtest.h>

#include <limits>
#include <optional>

#include "host/plugin/display_value.h"
#include "host/text/typed_value.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

struct Case {
    const char* text;
    std::optional<double> value;
};

}  // namespace

TEST(NumberEdges, DisplaysPastTheRangeOfADoubleAreInfiniteOrNoNumber) {
    const Case cases[] = {
        {"1/8", 0.125},
        {"-inf dB", -kInf},
        {"1e999", kInf},
        {"1e999/8", kInf},
        {"1/1e999", std::nullopt},  // digits after a fraction that is no number
        {"1e999/1e999", std::nullopt},
        {"1.5e-2147483647", 0.0},  // exponents past an int's range
        {"1e2147483648", kInf},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto shown = vsthost::parseDisplayValue(c.text);
        ASSERT_EQ(shown.has_value(), c.value.has_value());
        if (shown) {
            EXPECT_EQ(shown->value, *c.value);
        }
    }
}

TEST(NumberEdges, TypedNumbersPastTheRangeOfADoubleAreInfiniteOrZero) {
    const Case cases[] = {
        {"1e999 Hz", kInf},        {"-1e999", -kInf}, {"1e-999", 0.0}, {"4/1e999", 4.0},  // the fraction is not taken
        {"1e999/8", std::nullopt},  // a note value is whole numbers
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto typed = vsthost::parseTypedValue(c.text);
        ASSERT_EQ(typed.has_value(), c.value.has_value());
        if (typed) {
            EXPECT_EQ(typed->number, *c.value);
        }
    }
}
