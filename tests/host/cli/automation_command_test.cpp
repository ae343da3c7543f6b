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
    {"missing JSON",
     {"--automation", "{dir}/none.json"},
     kInput,
     "cannot open automation file '{dir}/none.json': No such file or directory"},
    {"JSON of no parameters", {"--automation", "{dir}/empty.json"}, kInput, "'{dir}/empty.json': holds no parameters"},
    {"a directory as JSON", {"--automation", "{dir}"}, kInput, "automation file '{dir}' is a directory"},
    {"a long keyframe quoted short",
     {"--automation", "{dir}/long.json"},
     kUsage,
     "cannot be set to 'xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx... (100000 characters)'"},
    {"dotted note in a file",
     {"--automation", "{dir}/dotted.json"},
     kUsage,
     "automation of 'Period' at beat 2: parameter 'Period' cannot be set to '1/8.': no setting lasts 3/16"},
    {"dotted note in --automate",
     {"--automate", "Period=0:1/4,2:1/16."},
     kUsage,
     "cannot be set to '1/16.': no setting lasts 3/32 of a whole note"},
    {"decimal note in --automate", {"--automate", "Period=0:1/8.0"}, kUsage, "give a note value in whole numbers"},
    {"keyframe before the song", {"--automate", "Mix=-1:3"}, kUsage, "beat -1 lies before the start of the song"},
    {"keyframe before the pre-roll",
     {"--start-beat", "-4", "--automate", "Mix=-6:0%,2:100%"},
     kUsage,
     "automation of 'Mix': beat -6 lies before the start of the render at beat -4"},
    {"keyframe in a file before the pre-roll",
     {"--automation", "{dir}/early.json", "--start-beat", "-2"},
     kUsage,
     "automation of 'Mix': beat -3 lies before the start of the render at beat -2"},
    {"tempo change before the pre-roll",
     {"--tempo-map", "-6:120", "--start-beat", "-4"},
     kUsage,
     "--tempo-map: the change at beat -6 lies before the start of the render at beat -4"},
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
     "option --spectrogram-size needs WIDTHxHEIGHT from 400x240 to 3840x2160, not '100x50'"},
    {"picture size without a picture",
     {"--spectrogram-size", "800x400"},
     kUsage,
     "option --spectrogram-size needs --spectrogram OUT.png"},
    {"JSON number past a double's range",
     {"--automation", "{dir}/huge.json"},
     kInput,
     "automation file '{dir}/huge.json': not readable as JSON: number overflow"},
    {"JSON parameter given twice",
     {"--automation", "{dir}/twice.json"},
     kInput,
     "the key \"Mix\" is given twice in one object"},
    {"JSON keyframe with a key twice",
     {"--automation", "{dir}/twice-beat.json"},
     kInput,
     "the key \"beat\" is given twice in one object"},
    {"parameter set twice",
     {"--set", "Mix=50", "--set", "mix=70"},
     kUsage,
     "parameter 'Mix' is set twice (--set Mix=50 and --set mix=70); give it once"},
    {"parameter set and automated",
     {"--set", "Mix=50", "--automate", "Mix=0:20,4:80"},
     kUsage,
     "parameter 'Mix' is both set and automated"},
    {"units in automation checked too", {"--automate", "Freq 1=0:300,4:2 MHz"}, kUsage, "its range is 20 to 20000 Hz"},
};

void prepare(const ScratchDirectory& dir) {
    writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, testSignal(4000, 2));
    writeBytes(dir / "mix.json", R"({"Mix": [{"beat": 0, "value": 20}]})");
    writeBytes(dir / "broken.json", R"({"Mix": [{"beat": 0, "value": 20})");
    writeBytes(dir / "list.json", R"([{"beat": 0, "value": 20}])");
    writeBytes(dir / "backwards.json", R"({"Mix": [{"beat": 4, "value": 20}, {"beat": 2, "value": 30}]})");
    writeBytes(dir / "unknown.json", R"({"Resonance": [{"beat": 0, "value": 2}]})");
    writeBytes(dir / "old.png", "an older picture\n");
    writeBytes(dir / "huge.json", R"({"Mix": [{"beat": 1e999, "value": 20}]})");
    writeBytes(dir / "twice.json", R"({"Mix": [{"beat": 0, "value": 20}], "Mix": [{"beat": 4, "value": 30}]})");
    writeBytes(dir / "twice-beat.json", R"({"Mix": [{"beat": 0, "beat": 2, "value": 20}]})");
    writeBytes(dir / "empty.json", "{}");
    writeBytes(dir / "long.json", R"({"Mix": [{"beat": 0, "value": ")" + std::string(100000, 'x') + "\"}]}");
    writeBytes(dir / "dotted.json", R"({"Period": [{"beat": 0, "value": "1/8"}, {"beat": 2, "value": "1/8."}]})");
    writeBytes(dir / "early.json", R"({"Mix": [{"beat": -3, "value": "10%"}, {"beat": 0, "value": "20%"}]})");
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
        EXPECT_LT(run.err.size(), 1000u) << "a message for a person, not an echo of the input";
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

namespace {

struct Warning {
    const char* what;
    std::vector<std::string> options;
    const char* message;
};

// Options that render but change nothing are said, with exit code 0.
const std::vector<Warning> kWarnings{
    {"tempo change past the end",
     {"--tempo-map", "0:120,64:140"},
     "warning: the tempo change to 140 BPM at beat 64 lies past the end of the render (beat 0.18"},
    {"a tempo that stops the sweep",
     {"--bpm", "3000", "--set", "Period=1/64"},
     "warning: at 3000 BPM Period 1/64 lasts 55.125 samples, a modulation at audio rate"},
    {"an automated note value that stops the sweep",
     {"--bpm", "3000", "--automate", "Period=0:1/8,0.1:1/64,0.2:1/48"},
     "warning: at 3000 BPM the automation of Period reaches 1/64, which lasts 55.125 samples"},
    {"a keyframe that lands on another value",
     {"--automate", "Mix=0:50%,0.1:0.5"},
     "note: automation of 'Mix' at beat 0.1: 0.5 landed on 0 %, the nearest setting the plug-in shows"},
};

}  // namespace

TEST(AutomationCommand, OptionsThatChangeNothingAreSaid) {
    for (const Warning& w : kWarnings) {
        SCOPED_TRACE(w.what);
        ScratchDirectory dir;
        prepare(dir);
        std::vector<std::string> args = {"render", dir / "in.wav", dir / "out.wav"};
        args.insert(args.end(), w.options.begin(), w.options.end());
        const ToolRun run = runTool(args);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(run.err.find(w.message), std::string::npos) << run.err;
    }
}

// A parameter of steps holds each keyframe's value until the next: Period
// automated from 1/8 to 1/16 over 8 beats plays 1/8 throughout those beats.
TEST(AutomationCommand, SteppedParameterStepsAtItsKeyframes) {
    ScratchDirectory dir;
    const std::int64_t frames = 44100 * 4;  // 8 beats at 120 BPM
    writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, testSignal(frames + 4410, 2));
    const ToolRun automated =
        runTool({"render", dir / "in.wav", dir / "auto.wav", "--automate", "Period=0:1/8,8:1/16", "--quiet"});
    const ToolRun held = runTool({"render", dir / "in.wav", dir / "held.wav", "--set", "Period=1/8", "--quiet"});
    ASSERT_EQ(automated.exitCode, 0) << automated.err;
    ASSERT_EQ(held.exitCode, 0) << held.err;
    const AudioData a = readAudio(dir / "auto.wav");
    const AudioData h = readAudio(dir / "held.wav");
    const auto beat8 = static_cast<std::ptrdiff_t>(2 * frames);
    EXPECT_TRUE(std::equal(a.samples.begin(), a.samples.begin() + beat8, h.samples.begin()));
    EXPECT_FALSE(std::equal(a.samples.begin() + beat8, a.samples.end(), h.samples.begin() + beat8));
}

// A negative start beat is a pre-roll: the song starts there, so keyframes
// and tempo changes from it on are placed where they fall; a later start
// still hears the changes of the song before it.
TEST(AutomationCommand, PreRollTakesKeyframesAndTempoChanges) {
    struct Same {
        const char* what;
        std::vector<std::string> arranged;
        std::vector<std::string> plain;  // renders the same samples
    };
    const std::vector<Same> cases{
        {"keyframes in the pre-roll",
         {"--start-beat", "-4", "--automate", "Mix=-4:0%,-3:0%,-3:100%"},
         {"--start-beat", "-4", "--set", "Mix=0%"}},
        {"a tempo change at the start of the pre-roll",
         {"--tempo-map", "-4:90", "--start-beat", "-4"},
         {"--start-beat", "-4", "--bpm", "90"}},
        {"a change before a start in mid-song",
         {"--start-beat", "4", "--tempo-map", "0:90"},
         {"--start-beat", "4", "--bpm", "90"}},
    };
    for (const Same& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDirectory dir;
        prepare(dir);
        std::vector<std::string> arranged = {"render", dir / "in.wav", dir / "arranged.wav", "--quiet"};
        std::vector<std::string> plain = {"render", dir / "in.wav", dir / "plain.wav", "--quiet"};
        arranged.insert(arranged.end(), c.arranged.begin(), c.arranged.end());
        plain.insert(plain.end(), c.plain.begin(), c.plain.end());
        const ToolRun a = runTool(arranged);
        const ToolRun p = runTool(plain);
        ASSERT_EQ(a.exitCode, 0) << a.err;
        ASSERT_EQ(p.exitCode, 0) << p.err;
        EXPECT_TRUE(readAudio(dir / "arranged.wav").samples == readAudio(dir / "plain.wav").samples);
    }
}
