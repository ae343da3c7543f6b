// The render command's output against the plug-in driven directly through its
// record with the same settings, block size and transport: equal to the bit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "audio_files.h"
#include "frame/opcodes.h"
#include "support/plugin_library.h"
#include "support/recording_host.h"
#include "tool_process.h"

namespace {

struct Setting {
    std::int32_t index;
    const char* name;
    float value;
};

struct Case {
    const char* what;
    int channels;
    std::int64_t frames;
    std::int32_t block;
    double bpm;
    double startBeat;
    std::vector<Setting> settings;
};

constexpr int kRate = 44100;

// What a host must do, written out plainly: open, rate, block size, processing
// on, parameters, then blocks with the position of each block's first sample.
std::vector<float> driveDirectly(const Case& c, const std::vector<float>& input) {
    PluginLibrary lib;
    RecordingHost host;
    AEffect* e = lib.entry()(RecordingHost::callback);
    dispatch(e, effOpen);
    dispatch(e, effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
    dispatch(e, effSetBlockSize, 0, c.block);
    dispatch(e, effMainsChanged, 0, 1);
    for (const Setting& s : c.settings) e->setParameter(e, s.index, s.value);

    const auto frames = static_cast<std::size_t>(c.frames);
    std::vector<float> in[2] = {std::vector<float>(frames), std::vector<float>(frames)};
    for (std::size_t i = 0; i < frames; ++i)
        for (int ch = 0; ch < 2; ++ch) in[ch][i] = input[i * c.channels + (c.channels == 1 ? 0 : ch)];
    std::vector<float> out[2] = {std::vector<float>(frames), std::vector<float>(frames)};

    const double step = 1.0 / (kRate / (c.bpm / 60.0));
    for (std::size_t start = 0; start < frames; start += c.block) {
        const auto n = static_cast<std::int32_t>(std::min<std::size_t>(c.block, frames - start));
        host.setTransport(c.startBeat + static_cast<double>(start) * step, c.bpm, kVstPpqPosValid | kVstTempoValid);
        float* ins[2] = {in[0].data() + start, in[1].data() + start};
        float* outs[2] = {out[0].data() + start, out[1].data() + start};
        e->processReplacing(e, ins, outs, n);
    }
    dispatch(e, effMainsChanged, 0, 0);
    dispatch(e, effClose);

    std::vector<float> interleaved(frames * 2);
    for (std::size_t i = 0; i < frames; ++i)
        for (int ch = 0; ch < 2; ++ch) interleaved[i * 2 + ch] = out[ch][i];
    return interleaved;
}

std::vector<std::string> toolArguments(const Case& c, const std::string& in, const std::string& out) {
    std::vector<std::string> args{"render",
                                  in,
                                  out,
                                  "--quiet",
                                  "--block",
                                  std::to_string(c.block),
                                  "--bpm",
                                  std::to_string(c.bpm),
                                  "--start-beat",
                                  std::to_string(c.startBeat)};
    for (const Setting& s : c.settings) {
        char text[64];
        std::snprintf(text, sizeof text, "%s=%.9g", s.name, static_cast<double>(s.value));
        args.insert(args.end(), {"--set-normalized", text});
    }
    return args;
}

bool sameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

TEST(RenderEquivalence, ToolOutputEqualsThePluginDrivenThroughItsRecord) {
    const std::vector<Case> cases{
        {"defaults", 2, 20011, 512, 120.0, 0.0, {}},
        {"every parameter, odd block, tempo and start",
         2,
         20011,
         37,
         137.5,
         3.25,
         {{0, "Period", 0.7f}, {1, "Freq 1", 0.1f}, {2, "Freq 2", 0.6f}, {3, "Q", 0.3f}, {4, "Mix", 0.8f}}},
        {"mono input feeds both inputs", 1, 9001, 1000, 90.0, 1.5, {{0, "Period", 0.2f}, {4, "Mix", 0.5f}}},
        {"one block longer than the file", 2, 3000, 4096, 174.0, 0.0, {{0, "Period", 1.0f}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDirectory dir;
        const std::vector<float> input = testSignal(c.frames, c.channels);
        writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, c.channels, kRate, input);
        const ToolRun run = runTool(toolArguments(c, dir / "in.wav", dir / "out.wav"));
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const AudioData out = readAudio(dir / "out.wav");
        EXPECT_EQ(out.info.channels, 2);
        EXPECT_EQ(out.info.samplerate, kRate);
        EXPECT_EQ(out.info.frames, c.frames);
        EXPECT_TRUE(sameBits(out.samples, driveDirectly(c, input)));
    }
}

TEST(RenderEquivalence, BlockSizesGiveIdenticalFiles) {
    ScratchDirectory dir;
    writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, kRate, testSignal(30011, 2, 5));
    std::vector<std::string> rendered;
    for (const char* block : {"1", "37", "4096"}) {
        const std::string out = dir / (std::string("out-") + block + ".wav");
        const ToolRun run =
            runTool({"render", dir / "in.wav", out, "--quiet", "--block", block, "--bpm", "133", "--start-beat", "2.5",
                     "--set-normalized", "Period=0.9", "--set-normalized", "Freq 1=0.02"});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        rendered.push_back(readBytes(out));
    }
    EXPECT_GT(rendered[0].size(), 30011u * 8u);
    EXPECT_EQ(rendered[0], rendered[1]);
    EXPECT_EQ(rendered[0], rendered[2]);
}

// Sample formats are kept where the container allows them; at Mix 0 the
// plug-in passes its input, so lossless outputs give back the input samples.
TEST(RenderEquivalence, OutputKeepsTheInputSampleFormatWhereItCan) {
    struct FormatCase {
        int inputFormat;
        const char* output;
        int expectedFormat;
        bool lossless;
    };
    const std::vector<FormatCase> cases{
        {SF_FORMAT_WAV | SF_FORMAT_PCM_16, "out.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, true},
        {SF_FORMAT_WAV | SF_FORMAT_PCM_24, "out.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, true},
        {SF_FORMAT_WAV | SF_FORMAT_FLOAT, "out.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, false},
        {SF_FORMAT_FLAC | SF_FORMAT_PCM_16, "out.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, true},
        {SF_FORMAT_WAV | SF_FORMAT_DOUBLE, "out.wav", SF_FORMAT_WAV | SF_FORMAT_DOUBLE, true},
        {SF_FORMAT_WAV | SF_FORMAT_PCM_16, "out.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, false},
    };
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.output + std::string(" from format ") + std::to_string(c.inputFormat));
        ScratchDirectory dir;
        writeAudio(dir / "in.input", c.inputFormat, 2, kRate, testSignal(5000, 2, 9));
        const ToolRun run =
            runTool({"render", dir / "in.input", dir / c.output, "--quiet", "--set-normalized", "Mix=0"});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const AudioData in = readAudio(dir / "in.input");
        const AudioData out = readAudio(dir / c.output);
        EXPECT_EQ(out.info.format, c.expectedFormat);
        if (c.lossless) {
            EXPECT_EQ(out.info.frames, in.info.frames);
            EXPECT_TRUE(sameBits(out.samples, in.samples));
        }
    }
}

TEST(RenderEquivalence, TailAddsSilenceThroughThePlugin) {
    ScratchDirectory dir;
    writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, kRate, testSignal(1000, 2));
    const ToolRun run = runTool({"render", dir / "in.wav", dir / "out.wav", "--quiet", "--tail", "0.5"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const AudioData out = readAudio(dir / "out.wav");
    EXPECT_EQ(out.info.frames, 1000 + kRate / 2);
    // The filter rings on after the input stops, then dies away.
    EXPECT_NE(out.samples[2 * 1000], 0.0f);
    EXPECT_LT(std::abs(out.samples.back()), 1e-6f);
}

}  // namespace
