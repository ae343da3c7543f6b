// Numbers read back out of a plug-in's display texts, at the edges of what
// a double holds: a number or nothing, never NaN.
#include "host/plugin/display_value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>

using vsthost::parseDisplayValue;

TEST(DisplayValue, NumbersPastTheRangeOfADoubleAreInfiniteOrNoNumber) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    struct Case {
        const char* text;
        std::optional<double> value;
    };
    const Case cases[] = {
        {"1/8", 0.125},
        {"-inf dB", -kInf},
        {"1e999", kInf},
        {"1e999/8", kInf},
        {"1/1e999", std::nullopt},  // digits after a fraction that is no number
        {"1e999/1e999", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto shown = parseDisplayValue(c.text);
        ASSERT_EQ(shown.has_value(), c.value.has_value());
        if (shown) EXPECT_EQ(shown->value, *c.value);
    }
}
