// The bundle's presets as a host applies them: each sets every control within
// its port's range, and each makes a sound of its own.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "lv2_instance.h"
#include "support/plugin_instance.h"

namespace {

constexpr double kRate = 44100.0;
// Two seconds: one whole note at 120 BPM, so the slowest preset sweeps once.
constexpr std::uint32_t kFrames = 88200;
constexpr std::uint32_t kBlock = 4096;

StereoBuffer render(const std::array<float, 5>& controls) {
    Lv2Instance plugin(kRate);
    plugin.controls = controls;
    StereoBuffer in = noise(kFrames, 7), out(kFrames);
    const TimeAtom playing{.frame = 0,
                           .bar = 0,
                           .barBeat = 0.0f,
                           .beatUnit = 4,
                           .beatsPerBar = 4.0f,
                           .beatsPerMinute = 120.0f,
                           .speed = 1.0f};
    for (std::uint32_t first = 0; first < kFrames; first += kBlock) {
        const std::uint32_t frames = std::min(kBlock, kFrames - first);
        plugin.run(in, out, first, frames, first == 0 ? std::vector<TimeAtom>{playing} : std::vector<TimeAtom>{});
    }
    return out;
}

double rms(const std::vector<float>& a, const std::vector<float>& b = {}) {
    double sum = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const double d = static_cast<double>(a[i]) - (b.empty() ? 0.0 : static_cast<double>(b[i]));
        sum += d * d;
    }
    return std::sqrt(sum / static_cast<double>(a.size()));
}

TEST(Lv2Presets, EachSetsEveryControlWithinItsRange) {
    const std::vector<Lv2Preset> presets = Lv2Instance::presets();
    EXPECT_GE(presets.size(), 4u);
    const std::array<float, 5> lowest = Lv2Instance::controlRange(Lv2Instance::kMinimum);
    const std::array<float, 5> highest = Lv2Instance::controlRange(Lv2Instance::kMaximum);
    std::set<std::string> labels;
    for (const Lv2Preset& p : presets) {
        EXPECT_FALSE(p.label.empty()) << p.uri;
        EXPECT_TRUE(labels.insert(p.label).second) << "two presets are labelled " << p.label;
        EXPECT_EQ(p.values.size(), 5u) << p.uri << " sets a port that is not a control, or misses one";
        for (std::size_t i = 0; i < 5; ++i) {
            const auto found = p.values.find(Lv2Instance::controlSymbols[i]);
            ASSERT_NE(found, p.values.end()) << p.uri << " leaves " << Lv2Instance::controlSymbols[i];
            EXPECT_GE(found->second, lowest[i]) << p.uri << " " << found->first;
            EXPECT_LE(found->second, highest[i]) << p.uri << " " << found->first;
        }
    }
}

// Two presets a listener could not tell apart would be one preset: the
// difference of any two outputs must be a sizeable share of their level.
TEST(Lv2Presets, EachSoundsUnlikeEveryOther) {
    const std::vector<Lv2Preset> presets = Lv2Instance::presets();
    ASSERT_GE(presets.size(), 2u);
    std::vector<StereoBuffer> outputs;
    for (const Lv2Preset& p : presets) {
        std::array<float, 5> controls{};
        for (std::size_t i = 0; i < 5; ++i) controls[i] = p.values.at(Lv2Instance::controlSymbols[i]);
        outputs.push_back(render(controls));
        const double level = rms(outputs.back().left);
        EXPECT_TRUE(std::isfinite(level) && level > 0.01) << p.label << ": level " << level;
    }
    for (std::size_t a = 0; a < presets.size(); ++a)
        for (std::size_t b = a + 1; b < presets.size(); ++b) {
            const double apart =
                std::max(rms(outputs[a].left, outputs[b].left), rms(outputs[a].right, outputs[b].right));
            const double level = std::max(rms(outputs[a].left), rms(outputs[b].left));
            EXPECT_GT(apart, 0.1 * level) << presets[a].label << " and " << presets[b].label << " differ by "
                                          << 20.0 * std::log10(apart / level) << " dB";
        }
}

}  // namespace
