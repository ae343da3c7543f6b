// A render says what it made: output that is not audio is refused with its
// count and first moment, clipping in a format that clips is counted, a
// truncated input is named, and a picture that fails says the audio stands.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "audio_files.h"
#include "tool_process.h"

namespace {

constexpr int kPlugin = 5;
constexpr int kOutput = 4;

std::string fixture(const std::string& name) { return std::string(FIXTURE_DIR) + "/" + name + ".so"; }

struct Verdict {
    const char* what;
    std::vector<std::string> args;  // after "render {dir}/in.wav {dir}/out.wav"
    int exitCode;
    bool written;
    std::vector<const char*> messages;  // each found on standard error
};

// The input: 8000 frames of stereo at 44.1 kHz; the fixtures go wrong from frame 1000 (0.023 s).
const std::vector<Verdict> kVerdicts{
    {"NaN refused",
     {"--plugin", fixture("nan_right_channel")},
     kPlugin,
     false,
     {"is unusable: 7000 of its 16000 samples are not numbers or infinite, the first at 0:00.023",
      "nothing was written to '{dir}/out.wav'; add --keep-bad-output to write it all the same"}},
    {"past +100 dBFS refused",
     {"--plugin", fixture("loud_output")},
     kPlugin,
     false,
     {"14000 of its 16000 samples are louder than +100 dBFS, the first at 0:00.023"}},
    {"NaN kept when asked",
     {"--plugin", fixture("nan_right_channel"), "--keep-bad-output"},
     0,
     true,
     {"warning: the output through Failing Fixture is unusable", "written all the same (--keep-bad-output)"}},
    {"clipping in 16 bits counted",
     {"--plugin", fixture("latency_at_open"), "--sample-format", "16"},
     0,
     true,
     {"warning: 4000 samples (25.00 %) were past full scale and are clipped in '{dir}/out.wav' (peak +6.0 dBFS)",
      "--sample-format float"}},
    {"float keeps what is past full scale", {"--plugin", fixture("latency_at_open")}, 0, true, {"peak +6.0 dBFS"}},
};

TEST(HonestOutput, WhatIsWrittenIsSaid) {
    // A quarter of the frames at twice full scale, the rest quiet.
    std::vector<float> loud(16000, 0.25f);
    for (std::size_t i = 0; i < 4000; i += 2) loud[i] = loud[i + 1] = 2.0f;
    for (const Verdict& v : kVerdicts) {
        SCOPED_TRACE(v.what);
        ScratchDirectory dir;
        writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, loud);
        std::vector<std::string> args{"render", dir / "in.wav", dir / "out.wav"};
        args.insert(args.end(), v.args.begin(), v.args.end());
        const ToolRun run = runTool(args);
        EXPECT_EQ(run.exitCode, v.exitCode) << run.err;
        for (const char* message : v.messages)
            EXPECT_NE(run.err.find(dir.expand(message)), std::string::npos) << run.err;
        EXPECT_EQ(std::filesystem::exists(dir / "out.wav"), v.written);
        if (!v.written) {
            EXPECT_EQ(dir.entries(), std::vector<std::string>{"in.wav"});
        }
    }
}

// Cut a tenth of the way into the samples, after a whole frame.
TEST(HonestOutput, TruncatedInputIsNamed) {
    const struct {
        const char* extension;
        int format;
        const char* chunk;
        std::size_t samplesAfter;  // bytes from the chunk's name to its first sample
    } formats[] = {{"wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, "data", 8},
                   {"aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, "SSND", 16}};
    for (const auto& f : formats) {
        SCOPED_TRACE(f.extension);
        ScratchDirectory dir;
        const std::string whole = dir / (std::string("whole.") + f.extension);
        const std::string cut = dir / (std::string("cut.") + f.extension);
        writeAudio(whole, f.format, 2, 44100, testSignal(44100 * 3 / 2, 2));
        const std::string bytes = readBytes(whole);
        writeBytes(cut, bytes.substr(0, bytes.find(f.chunk) + f.samplesAfter + 4 * 6615));
        const ToolRun run = runTool({"render", cut, dir / "out.wav"});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(
            run.err.find("warning: input '" + cut + "' is cut short: its header promises 1.5 s, the file holds 0.15 s"),
            std::string::npos)
            << run.err;
        const ToolRun fine = runTool({"render", whole, dir / "out2.wav"});
        EXPECT_EQ(fine.err.find("cut short"), std::string::npos) << fine.err;
    }
}

TEST(HonestOutput, AFailedPictureSaysTheAudioWasWritten) {
    ScratchDirectory dir;
    writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 8000, testSignal(800, 1));
    // A file size limit stands in for a full disk: the audio fits, the picture does not.
    const ToolRun run = runTool({"--fsize=8000", DRAVELKINT_TOOL_PATH, "render", dir / "in.wav", dir / "out.wav",
                                 "--spectrogram", dir / "out.png"},
                                {}, "/usr/bin/prlimit");
    EXPECT_EQ(run.exitCode, kOutput) << run.err;
    EXPECT_NE(run.err.find("wrote '" + (dir / "out.wav") + "' in full, but picture '" + (dir / "out.png") +
                           "' could not be written: File too large"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"in.wav", "out.wav"}));
}

}  // namespace
