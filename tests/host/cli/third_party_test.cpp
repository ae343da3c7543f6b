// An unrelated VST 2.4 plug-in from Debian's packages, run as a black box:
// the host must inspect it and render through it.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "audio_files.h"
#include "tool_process.h"

namespace {

namespace fs = std::filesystem;

// From the lsp-plugins-vst package: a delay compensator, stereo in and out.
const char* const kPlugin = "/usr/lib/vst/lsp-plugins/comp-delay-stereo.so";

// Under the leak checker the foreign plug-in's own leftovers would fail the
// run; they are not this host's to fix.
const Environment kForeign{{"ASAN_OPTIONS", "detect_leaks=0"}};

TEST(ThirdPartyPlugin, InfoAndRenderWork) {
    if (!fs::exists(kPlugin)) GTEST_SKIP() << kPlugin << " is not installed (package lsp-plugins-vst)";
    ScratchDirectory dir;

    const ToolRun info = runTool({"info", "--json", "--plugin", kPlugin}, kForeign);
    ASSERT_EQ(info.exitCode, 0) << info.err;
    const nlohmann::json j = nlohmann::json::parse(info.out);
    EXPECT_FALSE(j.at("effectName").get<std::string>().empty());
    EXPECT_EQ(j.at("inputs"), 2);
    EXPECT_EQ(j.at("outputs"), 2);
    EXPECT_GT(j.at("parameters").size(), 0u);

    const std::int64_t frames = 48000;
    writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 48000, testSignal(frames, 2));
    const ToolRun render =
        runTool({"render", dir / "in.wav", dir / "out.wav", "--plugin", kPlugin, "--quiet"}, kForeign);
    ASSERT_EQ(render.exitCode, 0) << render.err;
    const AudioData in = readAudio(dir / "in.wav");
    const AudioData out = readAudio(dir / "out.wav");
    EXPECT_EQ(out.info.frames, frames);
    EXPECT_EQ(out.info.channels, 2);
    double energy = 0.0;
    for (float s : out.samples) {
        ASSERT_TRUE(std::isfinite(s));
        energy += static_cast<double>(s) * s;
    }
    EXPECT_GT(energy, 0.0);

    // Its own display texts drive --set: the output gain, in decibels.
    const ToolRun quieter = runTool(
        {"render", dir / "in.wav", dir / "quiet.wav", "--plugin", kPlugin, "--quiet", "--set", "g_out=-6"}, kForeign);
    ASSERT_EQ(quieter.exitCode, 0) << quieter.err;
    const AudioData q = readAudio(dir / "quiet.wav");
    double quietEnergy = 0.0;
    for (float s : q.samples) quietEnergy += static_cast<double>(s) * s;
    EXPECT_NEAR(quietEnergy / energy, 0.25, 0.02);
}

}  // namespace
