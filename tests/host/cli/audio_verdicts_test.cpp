// One verdict on unusable audio in every format, whose it is (input or
// plug-in), before any encoder sees it; damaged input rendered as far as it
// reads, with what was lost said; lossy output at a producer's quality.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "audio_files.h"
#include "tool_process.h"

namespace {

constexpr int kUsage = 2;
constexpr int kInput = 3;
constexpr int kPlugin = 5;

std::string fixture(const std::string& name) { return std::string(FIXTURE_DIR) + "/" + name + ".so"; }

bool found(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The fixture gives NaN in its right channel from frame 1000 (0.023 s) on.
TEST(AudioVerdicts, UnusableOutputIsJudgedBeforeAnyEncoder) {
    const struct {
        const char* out;
        const char* kept;  // how --keep-bad-output writes the NaNs
    } formats[] = {{"out.mp3", "the 7000 that are not numbers as silence"},
                   {"out.flac", "the 7000 that are not numbers as silence"},
                   {"out.ogg", "the 7000 that are not numbers as silence"},
                   {"out.opus", "the 7000 that are not numbers as silence"},
                   {"out.wav", "they are in the file as they are"}};
    ScratchDirectory dir;
    writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 48000, testSignal(8000, 2));
    for (const auto& f : formats) {
        SCOPED_TRACE(f.out);
        const std::string out = dir / f.out;
        const ToolRun refused = runTool({"render", dir / "in.wav", out, "--plugin", fixture("nan_right_channel")});
        EXPECT_EQ(refused.exitCode, kPlugin) << refused.err;
        EXPECT_TRUE(found(refused.err,
                          "the output through Failing Fixture is unusable: 7000 of its 16000 samples "
                          "are not numbers or infinite, the first at 0:00.021"))
            << refused.err;
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"in.wav"});

        const ToolRun kept = runTool(
            {"render", dir / "in.wav", out, "--plugin", fixture("nan_right_channel"), "--keep-bad-output", "-q"});
        ASSERT_EQ(kept.exitCode, 0) << kept.err;
        EXPECT_TRUE(found(kept.err, f.kept)) << kept.err;
        const AudioData written = readAudio(out);
        const bool floats = std::string(f.out) == "out.wav";
        std::int64_t nan = 0;
        for (float x : written.samples) nan += std::isnan(x) ? 1 : 0;
        EXPECT_EQ(nan, floats ? 7000 : 0);
        std::filesystem::remove(out);
    }
}

// Float input with samples no file should hold is the input's fault, found
// before the plug-in sees them, whatever the output format.
TEST(AudioVerdicts, UnusableInputIsRefusedAsInput) {
    ScratchDirectory dir;
    std::vector<float> signal = testSignal(4800, 2);
    signal[2 * 2400] = std::numeric_limits<float>::quiet_NaN();
    signal[2 * 2400 + 3] = std::numeric_limits<float>::infinity();
    signal[2 * 4000] = 1e6f;
    writeAudio(dir / "bad.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 48000, signal);
    writeAudio(dir / "good.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 48000, testSignal(4800, 2));
    const std::vector<std::vector<std::string>> runs{
        {"render", dir / "bad.wav", dir / "out.mp3"},
        {"render", dir / "bad.wav", dir / "out.wav", "--plugin", fixture("sidechain_one")},
        {"render", dir / "good.wav", dir / "out.flac", "--plugin", fixture("sidechain_two"), "--sidechain",
         dir / "bad.wav"},
    };
    for (const auto& args : runs) {
        SCOPED_TRACE(args[2]);
        const ToolRun run = runTool(args);
        EXPECT_EQ(run.exitCode, kInput) << run.err;
        EXPECT_TRUE(found(run.err, "input '" + (dir / "bad.wav") +
                                       "' is unusable: 3 of its 9600 samples are not numbers, infinite or louder "
                                       "than +100 dBFS, the first at 0:00.050; nothing was written to '" +
                                       args[2] + "'"))
            << run.err;
        EXPECT_EQ(dir.entries(), (std::vector<std::string>{"bad.wav", "good.wav"}));
    }
}

void setLittleEndian32(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i) & 0xff);
}

// Each file holds 2 s of stereo at 44.1 kHz before it is damaged.
TEST(AudioVerdicts, DamagedInputRendersWhatIsReadable) {
    const struct {
        const char* name;
        int format;
        const char* damage;  // "half": cut in half; "streamed"/"empty": the data size set to ~0 or 0
        const char* warning;
        double shortestSeconds;  // of the output
        double longestSeconds;
    } cases[] = {
        {"cut.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, "half", "could not be read past ", 0.5, 1.5},
        {"cut.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, "half", "is cut short: its header promises 2 s", 0.5,
         1.5},
        {"cut.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, "half", "has no end mark, so it may be cut short", 0.5, 1.5},
        {"cut.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, "half", "is cut short: its header promises 2 s", 0.99, 1.01},
        {"streamed.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, "streamed", nullptr, 2.0, 2.0},
        {"empty.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, "empty",
         "says its audio is 0 bytes long (a header written while streaming); the 2 s after its header were read", 2.0,
         2.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDirectory dir;
        const std::string in = dir / c.name;
        writeAudio(in, c.format, 2, 44100, testSignal(88200, 2));
        std::string bytes = readBytes(in);
        const std::string damage = c.damage;
        if (damage == "half") {
            bytes.resize(bytes.size() / 2);
        } else {
            setLittleEndian32(bytes, bytes.find("data") + 4, damage == "streamed" ? 0xFFFFFFFFu : 0u);
            if (damage == "streamed") setLittleEndian32(bytes, 4, 0xFFFFFFFFu);
        }
        writeBytes(in, bytes);
        const ToolRun run = runTool({"render", in, dir / "out.wav", "--plugin", fixture("latency_at_open")});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        if (c.warning != nullptr) {
            EXPECT_TRUE(found(run.err, "warning: input '" + in + "' " + c.warning)) << run.err;
            EXPECT_TRUE(found(run.err, "; what it holds was rendered")) << run.err;
        } else {
            EXPECT_FALSE(found(run.err, "warning")) << run.err;
        }
        // A plug-in with a delay: the output ends with what was read, not with the header's promise.
        const AudioData out = readAudio(dir / "out.wav");
        EXPECT_GE(out.info.frames, std::llround(c.shortestSeconds * 44100));
        EXPECT_LE(out.info.frames, std::llround(c.longestSeconds * 44100));
        if (damage != "half") {
            // The samples themselves, not the header read as samples.
            writeAudio(dir / "intact.wav", c.format, 2, 44100, testSignal(88200, 2));
            ASSERT_EQ(
                runTool({"render", dir / "intact.wav", dir / "intact-out.wav", "--plugin", fixture("latency_at_open")})
                    .exitCode,
                0);
            EXPECT_EQ(out.samples, readAudio(dir / "intact-out.wav").samples);
        }
    }
}

TEST(AudioVerdicts, InfoSaysWhatItDoesNotKnow) {
    ScratchDirectory dir;
    writeAudio(dir / "in.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 2, 44100, testSignal(88200, 2));
    const std::string bytes = readBytes(dir / "in.ogg");
    writeBytes(dir / "cut.ogg", bytes.substr(0, bytes.size() / 2));
    const ToolRun cut = runTool({"info", dir / "cut.ogg"});
    EXPECT_EQ(cut.exitCode, 0) << cut.err;
    EXPECT_TRUE(found(cut.out, "Length         unknown")) << cut.out;
    EXPECT_TRUE(found(cut.out, "Format         ogg, Vorbis")) << cut.out;
}

double kilobitsPerSecond(const std::string& path, double seconds) {
    return static_cast<double>(std::filesystem::file_size(path)) * 8.0 / seconds / 1000.0;
}

TEST(AudioVerdicts, LossyOutputHasAQualityToChoose) {
    ScratchDirectory dir;
    writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 48000, testSignal(4 * 48000, 2));
    const struct {
        const char* extension;
        const char* named;      // in the summary
        double leastByDefault;  // kbit/s
    } formats[] = {{"mp3", "(mp3, ", 190.0}, {"ogg", "(ogg, ", 150.0}, {"opus", "(opus, ", 150.0}};
    for (const auto& f : formats) {
        SCOPED_TRACE(f.extension);
        std::vector<double> rates;
        for (const char* quality : {"", "0", "1"}) {
            const std::string out = dir / (std::string("out") + quality + "." + f.extension);
            std::vector<std::string> args{"render", dir / "in.wav", out, "--plugin", fixture("latency_at_open")};
            if (quality[0] != '\0') args.insert(args.end(), {"--quality", quality});
            const ToolRun run = runTool(args);
            ASSERT_EQ(run.exitCode, 0) << run.err;
            EXPECT_TRUE(found(run.err, f.named)) << run.err;
            rates.push_back(kilobitsPerSecond(out, 4.0));
        }
        EXPECT_GE(rates[0], f.leastByDefault);
        EXPECT_LT(rates[1], rates[0]);
        EXPECT_GT(rates[2], rates[0]);
    }
}

TEST(AudioVerdicts, FormatMistakesAreUsageErrors) {
    ScratchDirectory dir;
    writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 48000, testSignal(4800, 2));
    const struct {
        std::vector<std::string> args;  // after "render {dir}/in.wav"
        const char* message;
    } cases[] = {
        {{"{dir}/out.flac", "--sample-format", "32"},
         "output '{dir}/out.flac' (flac) cannot hold 32 bit samples; it takes --sample-format 8, 16 or 24"},
        {{"{dir}/out.mp3", "--sample-format", "16"}, "it takes no sample format"},
        {{"{dir}/out.wav", "--quality", "0.5"}, "option --quality sets the sound of mp3, ogg and opus"},
        {{"{dir}/out.ogg", "--quality", "1.5"}, "option --quality takes a number from 0 (smallest file) to 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        std::vector<std::string> args{"render", dir / "in.wav"};
        for (const std::string& arg : c.args) args.push_back(dir.expand(arg));
        const ToolRun run = runTool(args);
        EXPECT_EQ(run.exitCode, kUsage) << run.err;
        EXPECT_TRUE(found(run.err, dir.expand(c.message))) << run.err;
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"in.wav"});
    }
}

}  // namespace
