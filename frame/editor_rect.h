// The rectangle an editor answers effEditGetRect with, in pixels: where its
// window's edges lie, the top-left corner usually at 0, 0.
#pragma once

#include <cstddef>
#include <cstdint>

struct ERect {
    std::int16_t top;
    std::int16_t left;
    std::int16_t bottom;
    std::int16_t right;
};

static_assert(offsetof(ERect, left) == 2);
static_assert(offsetof(ERect, bottom) == 4);
static_assert(offsetof(ERect, right) == 6);
static_assert(sizeof(ERect) == 8);
