// The runaway guard over a finer grid, two seconds of noise and half a
// second of ring-out each, judged against the literal model: slower
// runaways too stay within 40 dB of their input, and every setting the
// guard leaves alone keeps every bit.
#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

#include "runaway_guard_grid.h"

namespace {

TEST(RunawayGuardExhaustive, FineGridOfSettings) {
    const GuardGrid grid{GuardGrid::Judge::model,
                         {0.14f, 1.414f, 7.07f, 14.14f},
                         {20.0f, 40.0f, 60.0f, 200.0f, 2000.0f, 20000.0f},
                         {60.0, 120.0, 174.0, 200.0},
                         2.0f,
                         0.5f};
    const GuardGridResult result = scanGuardGrid(grid, std::thread::hardware_concurrency());
    EXPECT_TRUE(result.failure.empty()) << result.failure;
    EXPECT_GT(result.runaways, 0);
    std::printf("%d settings, %d runaways cut off, worst peak %.2f times the input's\n", result.settings,
                result.runaways, static_cast<double>(result.worstRatio));
}

}  // namespace
