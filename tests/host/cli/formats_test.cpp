// Files in, files out: decoded input renders to any format, formats that
// hold only some rates are resampled, tags travel, "-" streams, and long
// names work.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "audio_files.h"
#include "tool_process.h"

namespace {

constexpr int kUsage = 2;

struct Conversion {
    const char* in;  // written through libsndfile with its tags
    int inFormat;
    int inRate;
    const char* out;
    int outRate;
    int outSubtype;  // 0: whatever the container fixes
    bool tagged;     // whether the output format has a place for the title
};

const std::vector<Conversion> kConversions{
    {"in.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, "out.wav", 44100, SF_FORMAT_FLOAT, true},
    {"in.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, "out.flac", 44100, SF_FORMAT_PCM_24, true},
    {"in.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, "out.aiff", 44100, SF_FORMAT_FLOAT, false},
    {"in.opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 48000, "out.w64", 48000, SF_FORMAT_FLOAT, false},
    {"in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, "out.opus", 48000, 0, true},
    {"in.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 96000, "out.mp3", 48000, 0, true},
    {"in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 44100, "out.ogg", 44100, 0, true},
};

TEST(Formats, AnyInputRendersToAnyOutput) {
    for (const Conversion& c : kConversions) {
        SCOPED_TRACE(std::string(c.in) + " to " + c.out);
        ScratchDirectory dir;
        const std::int64_t frames = c.inRate / 2;
        writeAudio(dir / c.in, c.inFormat, 2, c.inRate, testSignal(frames, 2), "Wobble Test", "The Tests");
        const ToolRun run = runTool({"render", dir / c.in, dir / c.out});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err.find("resampled") != std::string::npos, c.outRate != c.inRate) << run.err;
        const AudioData out = readAudio(dir / c.out);
        EXPECT_EQ(out.info.samplerate, c.outRate);
        if (c.outSubtype != 0) {
            EXPECT_EQ(out.info.format & SF_FORMAT_SUBMASK, c.outSubtype);
        }
        const double expected = static_cast<double>(frames) * c.outRate / c.inRate;
        EXPECT_NEAR(static_cast<double>(out.info.frames), expected, expected * 0.01 + 2048);
        double energy = 0.0;
        for (float s : out.samples) energy += static_cast<double>(s) * s;
        EXPECT_GT(energy, 0.0);
        if (c.tagged) {
            EXPECT_EQ(out.title, "Wobble Test");
            EXPECT_EQ(out.artist, "The Tests");
        }
    }
}

TEST(Formats, StandardInputAndOutputStream) {
    ScratchDirectory dir;
    writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, testSignal(4000, 2));
    const ToolRun toFile = runTool({"render", "-", dir / "out.wav"}, {}, DRAVELKINT_TOOL_PATH, dir / "in.wav");
    ASSERT_EQ(toFile.exitCode, 0) << toFile.err;
    EXPECT_NE(toFile.err.find("from standard input"), std::string::npos) << toFile.err;
    EXPECT_EQ(readAudio(dir / "out.wav").info.frames, 4000);

    const ToolRun toPipe = runTool({"render", dir / "in.wav", "-", "--format", "au", "--quiet"});
    ASSERT_EQ(toPipe.exitCode, 0) << toPipe.err;
    writeBytes(dir / "piped.au", toPipe.out);
    const AudioData piped = readAudio(dir / "piped.au");
    EXPECT_EQ(piped.samples, readAudio(dir / "out.wav").samples);

    struct Refusal {
        std::vector<std::string> args;
        const char* message;
    } refusals[] = {
        {{"render", dir / "in.wav", "-"}, "standard output ('-') needs --format with one of the formats that stream"},
        {{"render", dir / "in.wav", "-", "--format", "wav"},
         "takes only formats that stream (.au, .ogg, .opus), not .wav"},
        {{"render", dir / "in.wav", dir / "x.flac", "--sample-format", "12"}, "--sample-format takes 8, 16, 24"},
    };
    for (const Refusal& r : refusals) {
        const ToolRun run = runTool(r.args);
        EXPECT_EQ(run.exitCode, kUsage) << run.err;
        EXPECT_NE(run.err.find(r.message), std::string::npos) << run.err;
    }
}

TEST(Formats, LongOutputNamesWork) {
    ScratchDirectory dir;
    writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, testSignal(1000, 2));
    const std::string name = std::string(250, 'n') + ".wav";  // 254 bytes, of the 255 a name may have
    const ToolRun run = runTool({"render", dir / "in.wav", dir / name});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"in.wav", name}));
}

}  // namespace
