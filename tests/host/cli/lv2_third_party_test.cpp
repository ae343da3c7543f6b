// Unrelated LV2 plug-ins from Debian's packages through render, as black
// boxes: a tempo-synced delay puts its echo on the song's beat, a limiter's
// delay is cut to the sample, and a convolver that loads its response
// through the worker renders it, a side-chain marked on a port group is taken
// for one. Each is skipped where its package is absent.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "audio_files.h"
#include "tool_process.h"

namespace {

// Under the leak checker the foreign plug-in's own leftovers would fail the
// run; they are not this host's to fix.
const Environment kForeign{{"ASAN_OPTIONS", "detect_leaks=0"}};

bool installed(const char* bundle) { return std::filesystem::exists(std::string("/usr/lib/lv2/") + bundle); }

std::int64_t firstAbove(const std::vector<float>& samples, int channels, float level) {
    for (std::size_t i = 0; i < samples.size(); ++i)
        if (std::fabs(samples[i]) > level) return static_cast<std::int64_t>(i) / channels;
    return -1;
}

// ZamDelay, mono, fully wet: its Divisor n syncs to 1/2^(n-1) of a whole note
// at the tempo of the positions it is sent. Its first block starts from no
// delay, so the click comes later than frame 0.
TEST(Lv2ThirdParty, SyncedDelayEchoesOnTheBeat) {
    if (!installed("ZamDelay.lv2")) GTEST_SKIP() << "ZamDelay is not installed (package zam-plugins)";
    const struct {
        const char* what;
        std::vector<std::string> song;
        const char* divisor;
        std::int64_t click, echo;
    } cases[] = {
        {"a quarter at 120 BPM", {"--bpm", "120"}, "3", 22050, 22050 + 22050},
        {"a quarter at 90 BPM", {"--bpm", "90"}, "3", 29400, 29400 + 29400},
        {"a sixteenth at 90 BPM", {"--bpm", "90", "--block", "333"}, "5", 29400, 29400 + 7350},
        // 5512.5 frames: the plug-in drops the half sample.
        {"a sixteenth at 120 BPM", {"--bpm", "120"}, "5", 22050, 22050 + 5512},
        // 120 BPM for four beats (88200 frames), then 90: a click at beat 6.
        {"a quarter after the tempo changes", {"--bpm", "120", "--tempo-map", "4:90"}, "3", 147000, 147000 + 29400},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDirectory dir;
        std::vector<float> in(220500, 0.0f);
        in[static_cast<std::size_t>(c.click)] = 0.5f;
        writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 44100, in);
        std::vector<std::string> args{"render",
                                      dir / "in.wav",
                                      dir / "out.wav",
                                      "--plugin",
                                      "urn:zamaudio:ZamDelay",
                                      "--set",
                                      "Sync BPM=1",
                                      "--set",
                                      std::string("Divisor=") + c.divisor,
                                      "--set",
                                      "Dry/Wet=1",
                                      "--set",
                                      "LPF=20000",
                                      "--quiet"};
        args.insert(args.end(), c.song.begin(), c.song.end());
        const ToolRun run = runTool(args, kForeign);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(firstAbove(readAudio(dir / "out.wav").samples, 1, 1e-3f), c.echo);
    }
}

// x42's limiter reports a delay that depends on the rate and on true-peak
// detection; far below its threshold it passes the signal unchanged.
TEST(Lv2ThirdParty, LimiterDelayIsCutToTheSample) {
    if (!installed("dpl.lv2")) GTEST_SKIP() << "x42-dpl is not installed (package x42-plugins)";
    const struct {
        int rate;
        std::vector<std::string> args;
        const char* cut;
    } cases[] = {
        {44100, {}, "delay of 56 samples was cut"},
        {48000, {"--block", "37"}, "delay of 64 samples was cut"},
        {96000, {"--set", "True Peak=On"}, "delay of 128 samples was cut"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.rate) + " Hz");
        ScratchDirectory dir;
        std::vector<float> in = testSignal(20000, 2);
        for (float& x : in) x *= 0.1f;  // peaks near -26 dBFS, the threshold at -1
        writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, c.rate, in);
        std::vector<std::string> args{"render", dir / "in.wav", dir / "out.wav", "--plugin",
                                      "http://gareus.org/oss/lv2/dpl#stereo"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ToolRun run = runTool(args, kForeign);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(run.err.find(c.cut), std::string::npos) << run.err;
        const std::vector<float> out = readAudio(dir / "out.wav").samples;
        ASSERT_EQ(out.size(), in.size());
        int best = 0;
        double bestSum = 0.0;
        for (int lag = -300; lag <= 300; ++lag) {
            double sum = 0.0;
            for (std::size_t i = 0; i < in.size(); ++i) {
                const auto j = static_cast<std::ptrdiff_t>(i) + 2 * lag;
                if (j >= 0 && j < static_cast<std::ptrdiff_t>(out.size())) sum += double(in[i]) * out[j];
            }
            if (sum > bestSum) best = lag, bestSum = sum;
        }
        EXPECT_EQ(best, 0);
    }
}

// zeroconvolv needs the worker; its "No-OP Mono" preset names a one-sample
// response file, loaded through the worker, after which it reports a delay.
// Written to standard output, where the plug-in also prints what it loads.
TEST(Lv2ThirdParty, WorkerLoadedConvolverRenders) {
    if (!installed("zeroconvo.lv2")) GTEST_SKIP() << "zeroconvolv is not installed (package x42-plugins)";
    for (const char* block : {"512", "37"}) {
        SCOPED_TRACE(std::string("blocks of ") + block);
        ScratchDirectory dir;
        const std::vector<float> in = testSignal(24000, 1);
        writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 48000, in);
        const ToolRun run =
            runTool({"render", dir / "in.wav", "-", "--format", "au", "--plugin",
                     "http://gareus.org/oss/lv2/zeroconvolv#Mono", "--preset", "No-OP Mono", "--block", block},
                    kForeign);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(run.err.find("delay of 64 samples was cut"), std::string::npos) << run.err;
        // A header of 24 bytes, then big-endian floats and nothing else.
        ASSERT_EQ(run.out.size(), 24 + 4 * in.size()) << run.out.substr(24 + 4 * in.size());
        float largest = 0.0f;
        for (std::size_t i = 0; i < in.size(); ++i) {
            std::uint32_t bits = 0;
            for (int b = 0; b < 4; ++b) bits = bits << 8 | static_cast<unsigned char>(run.out[24 + 4 * i + b]);
            float x;
            std::memcpy(&x, &bits, sizeof x);
            largest = std::max(largest, std::fabs(x - in[i]));
        }
        EXPECT_LT(largest, 1e-6f);
    }
}

}  // namespace

// lsp marks its side-chain on a port group rather than on the port: the
// input is a side-chain all the same, silent unless a file is given.
TEST(Lv2ThirdParty, SideChainMarkedOnItsGroup) {
    if (!installed("lsp-plugins.lv2")) GTEST_SKIP() << "lsp is not installed (package lsp-plugins-lv2)";
    const ToolRun run = runTool({"info", "http://lsp-plug.in/plugins/lv2/sc_compressor_mono"}, kForeign);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Inputs         2 (side-chain: 2; the plug-in marks them as side-chains)"),
              std::string::npos)
        << run.out;
}
