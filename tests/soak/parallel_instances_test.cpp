// Eight instances processing at once, one thread each: every instance gives
// exactly what it gives alone. Run under ThreadSanitizer (the tsan preset),
// any state shared between instances is reported as a race.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "soak_host.h"
#include "support/plugin_library.h"

namespace {

constexpr int kThreads = 8;
constexpr std::int32_t kBlocks = 40;
constexpr std::int32_t kFrames = 512;

std::vector<float> run(const PluginLibrary& library, int n) {
    AEffect* e = library.entry()(soakCallback);
    if (e == nullptr) return {};
    dispatch(e, effOpen);
    dispatch(e, effSetSampleRate, 0, 0, nullptr, 44100.0f + 1000.0f * static_cast<float>(n));
    dispatch(e, effMainsChanged, 0, 1);
    for (std::int32_t index = 0; index < 5; ++index)
        e->setParameter(e, index, static_cast<float>((n * 3 + index) % 8) / 7.0f);
    std::vector<float> out = processNoise(e, kBlocks, kFrames, static_cast<std::uint32_t>(n));
    char text[32];
    for (std::int32_t index = 0; index < 5; ++index) dispatch(e, effGetParamDisplay, index, 0, text);
    dispatch(e, effMainsChanged, 0, 0);
    dispatch(e, effClose);
    return out;
}

TEST(ParallelInstances, EightThreadsEachGetWhatTheirInstanceGivesAlone) {
    PluginLibrary library;
    std::vector<std::vector<float>> alone(kThreads), together(kThreads);
    for (int n = 0; n < kThreads; ++n) alone[static_cast<std::size_t>(n)] = run(library, n);

    std::vector<std::thread> threads;
    for (int n = 0; n < kThreads; ++n)
        threads.emplace_back([&library, &together, n] { together[static_cast<std::size_t>(n)] = run(library, n); });
    for (std::thread& t : threads) t.join();

    for (int n = 0; n < kThreads; ++n) {
        const auto k = static_cast<std::size_t>(n);
        ASSERT_EQ(alone[k].size(), static_cast<std::size_t>(kBlocks) * kFrames * 2) << n;
        ASSERT_EQ(together[k].size(), alone[k].size()) << n;
        EXPECT_EQ(std::memcmp(alone[k].data(), together[k].data(), alone[k].size() * sizeof(float)), 0)
            << "instance " << n;
    }
}

}  // namespace
