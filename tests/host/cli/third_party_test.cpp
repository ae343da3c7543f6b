// Unrelated VST 2.4 plug-ins from Debian's packages, run as black boxes: the
// host must inspect them and render through them, compensating the delay one
// reports late and leaving another's side-chain silent unless given.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

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

namespace {

// From the zam-plugins package: a maximiser that reports 480 frames of delay
// only once it has processed, and a stereo compressor whose third input is a
// side-chain it names nowhere.
const char* const kMaximiser = "/usr/lib/vst/ZaMaximX2-vst.so";
const char* const kCompressor = "/usr/lib/vst/ZamCompX2-vst.so";

std::int64_t loudestFrame(const AudioData& audio) {
    std::int64_t at = 0;
    float peak = 0.0f;
    for (std::size_t i = 0; i < audio.samples.size(); ++i)
        if (std::fabs(audio.samples[i]) > peak) {
            peak = std::fabs(audio.samples[i]);
            at = static_cast<std::int64_t>(i) / audio.info.channels;
        }
    return at;
}

double rms(const AudioData& audio) {
    double energy = 0.0;
    for (float s : audio.samples) energy += static_cast<double>(s) * s;
    return std::sqrt(energy / static_cast<double>(std::max<std::size_t>(audio.samples.size(), 1)));
}

TEST(ThirdPartyPlugin, LateReportedDelayIsCompensated) {
    if (!fs::exists(kMaximiser)) GTEST_SKIP() << kMaximiser << " is not installed (package zam-plugins)";
    ScratchDirectory dir;
    constexpr std::int64_t kFrames = 24000;
    constexpr std::int64_t kClick = 6000;
    std::vector<float> click(2 * kFrames, 0.0f);
    click[2 * kClick] = click[2 * kClick + 1] = 0.5f;
    writeAudio(dir / "click.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 48000, click);

    const ToolRun info = runTool({"info", "--json", "--plugin", kMaximiser}, kForeign);
    ASSERT_EQ(info.exitCode, 0) << info.err;
    EXPECT_EQ(nlohmann::json::parse(info.out).at("latency"), 480);

    const ToolRun run = runTool({"render", dir / "click.wav", dir / "out.wav", "--plugin", kMaximiser}, kForeign);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("delay of 480 samples was cut from the start"), std::string::npos) << run.err;
    const AudioData out = readAudio(dir / "out.wav");
    EXPECT_EQ(out.info.frames, kFrames);
    EXPECT_EQ(loudestFrame(out), kClick);

    const ToolRun late = runTool(
        {"render", dir / "click.wav", dir / "late.wav", "--plugin", kMaximiser, "--no-latency-compensation"}, kForeign);
    ASSERT_EQ(late.exitCode, 0) << late.err;
    EXPECT_EQ(loudestFrame(readAudio(dir / "late.wav")), kClick + 480);
}

TEST(ThirdPartyPlugin, SidechainIsSilentUnlessGiven) {
    if (!fs::exists(kCompressor)) GTEST_SKIP() << kCompressor << " is not installed (package zam-plugins)";
    ScratchDirectory dir;
    writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, testSignal(44100, 2));
    writeAudio(dir / "key.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 44100, testSignal(44100, 1, 3));
    // Compress from the side-chain, from the lowest threshold.
    const std::vector<std::string> keyed{"--plugin",         kCompressor,   "--set-normalized", "Sidechain=1",
                                         "--set-normalized", "Threshold=0", "--quiet"};
    std::vector<std::string> silent{"render", dir / "in.wav", dir / "silent.wav"};
    silent.insert(silent.end(), keyed.begin(), keyed.end());
    std::vector<std::string> given{"render", dir / "in.wav", dir / "keyed.wav", "--sidechain", dir / "key.wav"};
    given.insert(given.end(), keyed.begin(), keyed.end());
    const ToolRun withoutKey = runTool(silent, kForeign);
    const ToolRun withKey = runTool(given, kForeign);
    ASSERT_EQ(withoutKey.exitCode, 0) << withoutKey.err;
    ASSERT_EQ(withKey.exitCode, 0) << withKey.err;
    EXPECT_NE(withoutKey.err.find("input 3 of the plug-in, taken for a side-chain"), std::string::npos)
        << withoutKey.err;
    // The stereo file's right channel no longer lands on the side-chain: with
    // it silent nothing is compressed; a loud key pulls the level down.
    EXPECT_GT(rms(readAudio(dir / "silent.wav")), 10.0 * rms(readAudio(dir / "keyed.wav")));
}

}  // namespace
