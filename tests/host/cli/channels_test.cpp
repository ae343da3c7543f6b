// Channels by role: the inputs past the plug-in's outputs are a side-chain
// and get silence unless a side-chain file is given; the file's channels feed the main inputs; the
// output has the plug-in's outputs, or the first --channels of them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio_files.h"
#include "tool_process.h"

namespace {

constexpr int kUsage = 2;
constexpr int kPlugin = 5;

std::string fixture(const std::string& name) { return std::string(FIXTURE_DIR) + "/" + name + ".so"; }

constexpr std::int64_t kFrames = 6000;

struct RoutingCase {
    const char* what;
    std::vector<std::string> args;  // after render; {dir} is the scratch directory
    const char* note;               // on standard error; "" for none expected
    int channels;
    // Each output channel as a mix of the input's channels and the
    // side-chain file's (mono): {left, right, side-chain} weights.
    std::vector<std::vector<float>> mix;
};

const std::vector<RoutingCase> kRoutings{
    {"a third input gets silence",
     {"{dir}/stereo.wav", "{dir}/out.wav", "--plugin", fixture("sidechain_one")},
     "input 3 of the plug-in, taken for a side-chain (the plug-in has more inputs than outputs), gets silence; give "
     "it a signal with --sidechain FILE",
     2,
     {{1, 0, 0}, {0, 1, 0}}},
    {"a third input takes the side-chain file",
     {"{dir}/stereo.wav", "{dir}/out.wav", "--plugin", fixture("sidechain_one"), "--sidechain", "{dir}/key.wav"},
     "",
     2,
     {{1, 0, 1}, {0, 1, 1}}},
    {"two inputs past the outputs get silence",
     {"{dir}/stereo.wav", "{dir}/out.wav", "--plugin", fixture("sidechain_two")},
     "inputs 3 and 4 of the plug-in, taken for a side-chain (the plug-in has more inputs than outputs), get silence",
     2,
     {{1, 0, 0}, {0, 1, 0}}},
    {"a mono side-chain feeds both side-chain inputs",
     {"{dir}/stereo.wav", "{dir}/out.wav", "--plugin", fixture("sidechain_two"), "--sidechain", "{dir}/key.wav"},
     "",
     2,
     {{1, 0, 2}, {0, 1, 2}}},
    {"mono input feeds both inputs",
     {"{dir}/mono.wav", "{dir}/out.wav", "--plugin", fixture("sidechain_one")},
     "gets silence",
     2,
     {{1, 0, 0}, {1, 0, 0}}},
    {"four outputs all written", {"{dir}/stereo.wav", "{dir}/out.wav", "--plugin", FIXTURE_WIDE_PATH}, "", 4, {}},
    {"the first outputs with --channels",
     {"{dir}/stereo.wav", "{dir}/out.wav", "--plugin", FIXTURE_WIDE_PATH, "--channels", "3"},
     "",
     3,
     {}},
    {"mono output from a stereo plug-in", {"{dir}/mono.wav", "{dir}/out.wav", "--channels", "1"}, "", 1, {}},
};

TEST(Channels, EachInputGetsItsSignal) {
    ScratchDirectory dir;
    const std::vector<float> stereo = testSignal(kFrames, 2, 1);
    const std::vector<float> key = testSignal(kFrames, 1, 7);
    writeAudio(dir / "stereo.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, stereo);
    writeAudio(dir / "mono.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 44100, key);
    writeAudio(dir / "key.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 44100, key);
    for (const RoutingCase& c : kRoutings) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> args{"render"};
        for (const std::string& a : c.args) args.push_back(dir.expand(a));
        args.push_back("--overwrite");
        const ToolRun run = runTool(args);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        if (c.note[0] != '\0') {
            EXPECT_NE(run.err.find(c.note), std::string::npos) << run.err;
        } else {
            EXPECT_EQ(run.err.find("silence"), std::string::npos) << run.err;
        }
        const AudioData out = readAudio(dir / "out.wav");
        ASSERT_EQ(out.info.channels, c.channels);
        ASSERT_EQ(out.info.frames, kFrames);
        const bool monoIn = c.args[0] == "{dir}/mono.wav";
        for (std::size_t ch = 0; ch < c.mix.size(); ++ch) {
            const std::vector<float>& w = c.mix[ch];
            for (std::int64_t i = 0; i < kFrames; ++i) {
                const float left = monoIn ? key[i] : stereo[2 * i];
                const float right = monoIn ? key[i] : stereo[2 * i + 1];
                const float expected = w[0] * left + w[1] * right + w[2] * key[i];
                ASSERT_FLOAT_EQ(out.samples[i * c.channels + ch], expected) << "channel " << ch << " frame " << i;
            }
        }
    }
}

struct RefusedRouting {
    const char* what;
    std::vector<std::string> args;
    int exitCode;
    const char* message;
};

const std::vector<RefusedRouting> kRefused{
    {"a side-chain for a plug-in without one",
     {"{dir}/stereo.wav", "{dir}/out.wav", "--sidechain", "{dir}/key.wav"},
     kUsage,
     "option --sidechain: the plug-in has no side-chain input"},
    {"more channels than outputs",
     {"{dir}/stereo.wav", "{dir}/out.wav", "--channels", "3"},
     kUsage,
     "option --channels 3: the plug-in has 2 outputs"},
    {"stereo into a mono plug-in",
     {"{dir}/stereo.wav", "{dir}/out.wav", "--plugin", FIXTURE_MONO_PATH},
     kPlugin,
     "the plug-in takes 1 main input and the input has 2 channels; give it a mono file"},
    {"a side-chain at another rate",
     {"{dir}/stereo.wav", "{dir}/out.wav", "--plugin", fixture("sidechain_one"), "--sidechain", "{dir}/key48.wav"},
     3,
     "side-chain '{dir}/key48.wav' is at 48000 Hz and the input at 44100 Hz"},
};

TEST(Channels, ShapesThatCannotBeFedAreRefused) {
    ScratchDirectory dir;
    writeAudio(dir / "stereo.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, testSignal(100, 2));
    writeAudio(dir / "key.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 44100, testSignal(100, 1));
    writeAudio(dir / "key48.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 48000, testSignal(100, 1));
    for (const RefusedRouting& c : kRefused) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> args{"render"};
        for (const std::string& a : c.args) args.push_back(dir.expand(a));
        const ToolRun run = runTool(args);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_NE(run.err.find(dir.expand(c.message)), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(dir / "out.wav"));
    }
}

}  // namespace
