// Many instances, one after another, in one process: the heap in use after
// the last close is what it was before the first open.
#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdlib>

#include "host/allocation/allocation_counter.h"
#include "soak_host.h"
#include "support/plugin_library.h"

namespace {

std::int32_t rounds() {
    const char* text = std::getenv("DRAVELKINT_SOAK_ROUNDS");
    return text != nullptr ? std::atoi(text) : 1000;
}

void oneLife(const PluginLibrary& library, std::int32_t round) {
    AEffect* e = library.entry()(soakCallback);
    ASSERT_NE(e, nullptr);
    dispatch(e, effOpen);
    dispatch(e, effSetSampleRate, 0, 0, nullptr, round % 2 == 0 ? 44100.0f : 96000.0f);
    dispatch(e, effSetBlockSize, 0, 256);
    dispatch(e, effMainsChanged, 0, 1);
    e->setParameter(e, round % 5, static_cast<float>(round % 7) / 6.0f);
    processNoise(e, 3, 256, static_cast<std::uint32_t>(round));
    char text[32];
    dispatch(e, effGetParamDisplay, round % 5, 0, text);
    dispatch(e, effMainsChanged, 0, 0);
    dispatch(e, effClose);
}

TEST(LifecycleSoak, AThousandInstancesLeaveTheHeapAsTheyFoundIt) {
    PluginLibrary library;
    // The first rounds settle what the libraries keep for good (about 2 kB).
    for (std::int32_t round = 0; round < 10; ++round) oneLife(library, round);
    const std::size_t before = mallinfo2().uordblks;
    const std::int32_t count = rounds();
    for (std::int32_t round = 10; round < 10 + count; ++round) oneLife(library, round);
    const std::size_t after = mallinfo2().uordblks;
    if (!allocation_counter::available()) GTEST_SKIP() << "the sanitizer owns the heap; its leak check stands in";
    EXPECT_EQ(after, before) << "bytes in use after " << count << " rounds";
}

}  // namespace
