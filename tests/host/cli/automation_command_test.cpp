// Automation, tempo maps and pictures on the command line: bad input is
// refused with one clear message and its exit code before anything is
// written; good input renders the same file for every block size.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "audio_files.h"
#include "tool_process.h"

namespace {

constexpr int kUsage = 2;
constexpr int kInput = 3;
constexpr int kOutput = 4;

struct BadInput {
    const char* what;
    std::vector<std::string> options;  // after "render {dir}/in.wav {dir}/out.wav"; {dir} is the scratch directory
    int exitCode;
    const char* message;
};

const std::vector<BadInput> kBadInputs{
    {"unknown parameter", {"--automate", "Cutoff=0:100"}, kUsage, "unknown parameter 'Cutoff'"},
    {"keyframe beats out of order",
     {"--automate", "Mix=8:50,4:100"},
     kUsage,
     "--automate 'Mix=8:50,4:100': beat 4 comes after beat 8; beats must not fall"},
    {"keyframe without a value", {"--automate", "Mix=0:50,4"}, kUsage, "'4' is not BEAT:VALUE"},
    {"value no setting shows",
     {"--automate", "Mix=0:50,4:500"},
     kUsage,
     "automation of 'Mix' at beat 4: parameter 'Mix' cannot be set to '500'"},
    {"normalised value above 1", {"--automate", "Mix=0:2n"}, kUsage, "normalised value 2n lies outside 0n to 1n"},
    {"parameter automated twice",
     {"--automate", "Mix=0:50", "--automation", "{dir}/mix.json"},
     kUsage,
     "parameter 'Mix' is automated twice"},
    {"zero tempo",
     {"--tempo-map", "0:120,4:0"},
     kUsage,
     "--tempo-map '0:120,4:0': tempo 0 at beat 4: a tempo must be above zero"},
    {"negative tempo", {"--tempo-map", "4:-90"}, kUsage, "tempo -90 at beat 4: a tempo must be above zero"},
    {"tempo beats out of order", {"--tempo-map", "8:100,4:90"}, kUsage, "beat 4 comes after beat 8"},
    {"tempo map twice", {"--tempo-map", "8:100", "--tempo-map", "4:90"}, kUsage, "--tempo-map is given twice"},
    {"unreadable JSON",
     {"--automation", "{dir}/broken.json"},
     kInput,
     "automation file '{dir}/broken.json': not readable as JSON"},
    {"JSON that is not automation",
     {"--automation", "{dir}/list.json"},
     kInput,
     "automation file '{dir}/list.json': expected an object of parameter names"},
    {"JSON beats out of order",
     {"--automation", "{dir}/backwards.json"},
     kInput,
     "parameter 'Mix': beat 2 comes after beat 4"},
    {"JSON with an unknown parameter", {"--automation", "{dir}/unknown.json"}, kUsage, "unknown parameter 'Resonance'"},
    {"missing JSON", {"--automation", "{dir}/none.json"}, kInput, "cannot open automation file '{dir}/none.json'"},
    {"picture not PNG",
     {"--spectrogram", "{dir}/out.jpg"},
     kOutput,
     "picture '{dir}/out.jpg' needs the extension .png"},
    {"picture exists",
     {"--spectrogram", "{dir}/old.png"},
     kOutput,
     "picture '{dir}/old.png' already exists; add --overwrite"},
    {"picture directory missing",
     {"--spectrogram", "{dir}/nowhere/out.png"},
     kOutput,
     "picture '{dir}/nowhere/out.png' cannot be written"},
    {"picture too small",
     {"--spectrogram", "{dir}/out.png", "--spectrogram-size", "100x50"},
     kUsage,
     "picture size '100x50': expected WIDTHxHEIGHT from 400x240"},
};

void prepare(const ScratchDirectory& dir) {
    writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, testSignal(4000, 2));
    writeBytes(dir / "mix.json", R"({"Mix": [{"beat": 0, "value": 20}]})");
    writeBytes(dir / "broken.json", R"({"Mix": [{"beat": 0, "value": 20})");
    writeBytes(dir / "list.json", R"([{"beat": 0, "value": 20}])");
    writeBytes(dir / "backwards.json", R"({"Mix": [{"beat": 4, "value": 20}, {"beat": 2, "value": 30}]})");
    writeBytes(dir / "unknown.json", R"({"Resonance": [{"beat": 0, "value": 2}]})");
    writeBytes(dir / "old.png", "an older picture\n");
}

}  // namespace

TEST(AutomationCommand, BadAutomationTempoOrPictureIsRefusedBeforeAnythingIsWritten) {
    for (const BadInput& c : kBadInputs) {
        SCOPED_TRACE(c.what);
        ScratchDirectory dir;
        prepare(dir);
        const auto before = dir.snapshot();
        std::vector<std::string> args = {"render", dir / "in.wav", dir / "out.wav"};
        for (const std::string& option : c.options) args.push_back(dir.expand(option));
        const ToolRun run = runTool(args);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_EQ(run.err.rfind("dravelkint: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find(dir.expand(c.message)), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_EQ(dir.snapshot(), before);
    }
}

TEST(AutomationCommand, RenderedFileIsTheSameForEveryBlockSize) {
    ScratchDirectory dir;
    writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, testSignal(44100 * 4, 2, 7));
    writeBytes(dir / "moves.json", R"({
        "Freq 1": [{"beat": 0, "value": 200}, {"beat": 3, "value": 3000}, {"beat": 3, "value": 400}],
        "Period": [{"beat": 0, "value": "1/8"}, {"beat": 4.5, "value": "1/16"}]
    })");
    const std::vector<std::string> arrangement = {"--tempo-map",      "0:128,2.7:93.5,5:160", "--automation",
                                                  dir / "moves.json", "--automate",           "Mix=1:0.3n,6:1n",
                                                  "--quiet"};
    // Samples, not bytes: a float file's header carries the time it was written.
    std::vector<float> first;
    for (const char* block : {"1", "37", "512"}) {
        SCOPED_TRACE(block);
        const std::string out = dir / (std::string("out-") + block + ".wav");
        std::vector<std::string> args = {"render", dir / "in.wav", out, "--block", block};
        args.insert(args.end(), arrangement.begin(), arrangement.end());
        const ToolRun run = runTool(args);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const AudioData audio = readAudio(out);
        ASSERT_EQ(audio.samples.size(), 44100u * 4 * 2);
        if (first.empty())
            first = audio.samples;
        else
            EXPECT_TRUE(audio.samples == first) << "differs from the render with blocks of 1";
    }
    // The arrangement is heard: without it the file is another.
    const ToolRun plain = runTool({"render", dir / "in.wav", dir / "plain.wav", "--bpm", "128", "--quiet"});
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    EXPECT_FALSE(readAudio(dir / "plain.wav").samples == first);
}
