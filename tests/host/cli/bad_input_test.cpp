// Every kind of bad input ends with one message naming what is wrong, the
// exit code of its kind, no output file and the input as it was.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "audio_files.h"
#include "tool_process.h"

namespace {

namespace fs = std::filesystem;

constexpr int kUsage = 2;
constexpr int kInput = 3;
constexpr int kOutput = 4;
constexpr int kPlugin = 5;

struct BadInput {
    const char* what;
    std::vector<std::string> args;  // {dir} stands for the scratch directory
    int exitCode;
    const char* message;
};

const std::vector<BadInput> kBadInputs{
    // Input files.
    {"missing input",
     {"render", "{dir}/missing.wav", "{dir}/out.wav"},
     kInput,
     "input '{dir}/missing.wav' cannot be read: No such file or directory"},
    {"input is a directory",
     {"render", "{dir}/folder", "{dir}/out.wav"},
     kInput,
     "input '{dir}/folder' is not a regular file"},
    {"input is not audio",
     {"render", "{dir}/notes.txt", "{dir}/out.wav"},
     kInput,
     "input '{dir}/notes.txt' is not an audio file libsndfile can read"},
    {"input has more channels than the plug-in has inputs",
     {"render", "{dir}/three.wav", "{dir}/out.wav"},
     kPlugin,
     "the plug-in takes 2 main inputs and the input has 3 channels; give it a file of at most 2 channels"},
    // Output files.
    {"output is the input",
     {"render", "{dir}/in.wav", "{dir}/in.wav", "--overwrite"},
     kOutput,
     "output '{dir}/in.wav' is the input file; the input is never overwritten"},
    {"output is the input by another path",
     {"render", "{dir}/in.wav", "{dir}/folder/../in.wav", "--overwrite"},
     kOutput,
     "is the input file"},
    {"output is a hard link to the input",
     {"render", "{dir}/in.wav", "{dir}/link.wav", "--overwrite"},
     kOutput,
     "output '{dir}/link.wav' is the input file"},
    {"output exists",
     {"render", "{dir}/in.wav", "{dir}/existing.wav"},
     kOutput,
     "output '{dir}/existing.wav' already exists; add --overwrite to replace it"},
    {"output directory missing",
     {"render", "{dir}/in.wav", "{dir}/nowhere/out.wav"},
     kOutput,
     "output '{dir}/nowhere/out.wav' cannot be written: directory '{dir}/nowhere': No such file or directory"},
    {"output directory is a file",
     {"render", "{dir}/in.wav", "{dir}/notes.txt/out.wav"},
     kOutput,
     "'{dir}/notes.txt' is not a directory"},
    {"output directory cannot be written",
     {"render", "{dir}/in.wav", "/proc/dravelkint-out.wav"},
     kOutput,
     "output '/proc/dravelkint-out.wav' cannot be written"},
    {"output extension unknown",
     {"render", "{dir}/in.wav", "{dir}/out.xyz"},
     kOutput,
     "output '{dir}/out.xyz' has no audio file extension this tool knows"},
    // Plug-ins.
    {"plug-in missing",
     {"render", "{dir}/in.wav", "{dir}/out.wav", "--plugin", "{dir}/none.so"},
     kPlugin,
     "plug-in '{dir}/none.so' cannot be opened: No such file or directory"},
    {"plug-in not a shared library",
     {"render", "{dir}/in.wav", "{dir}/out.wav", "--plugin", "{dir}/notes.txt"},
     kPlugin,
     "plug-in '{dir}/notes.txt' is not a loadable shared library"},
    {"plug-in without entry point",
     {"render", "{dir}/in.wav", "{dir}/out.wav", "--plugin", FIXTURE_NO_ENTRY_PATH},
     kPlugin,
     "exports neither VSTPluginMain nor main"},
    {"plug-in answers null",
     {"render", "{dir}/in.wav", "{dir}/out.wav", "--plugin", FIXTURE_NULL_PATH},
     kPlugin,
     "answered its entry point with no effect"},
    {"plug-in record without magic",
     {"render", "{dir}/in.wav", "{dir}/out.wav", "--plugin", FIXTURE_BAD_MAGIC_PATH},
     kPlugin,
     "handed back a record without the VST 2.4 magic"},
    {"stereo file into a mono plug-in",
     {"render", "{dir}/in.wav", "{dir}/out.wav", "--plugin", FIXTURE_MONO_PATH},
     kPlugin,
     "the plug-in takes 1 main input and the input has 2 channels; give it a mono file"},
    {"demo through a mono plug-in",
     {"demo", "{dir}/out.wav", "--plugin", FIXTURE_MONO_PATH},
     kPlugin,
     "the plug-in takes 1 main input and the demo signal is stereo; give it a mono file of your own"},
    {"an LV2 plug-in",
     {"info", FIXTURE_DIR "/other_format_lv2.so"},
     kPlugin,
     "is an LV2 plug-in (it exports lv2_descriptor); dravelkint hosts VST 2.4 plug-ins only"},
    {"a VST3 plug-in",
     {"render", "{dir}/in.wav", "{dir}/out.wav", "--plugin", FIXTURE_DIR "/other_format_vst3.so"},
     kPlugin,
     "is a VST3 plug-in (it exports GetPluginFactory); dravelkint hosts VST 2.4 plug-ins only"},
    {"a CLAP plug-in",
     {"validate", FIXTURE_DIR "/other_format_clap.so"},
     kPlugin,
     "is a CLAP plug-in (it exports clap_entry); dravelkint hosts VST 2.4 plug-ins only"},
    {"info on a plug-in without magic",
     {"info", "--plugin", FIXTURE_BAD_MAGIC_PATH},
     kPlugin,
     "handed back a record without the VST 2.4 magic"},
    // Parameters.
    {"unknown parameter",
     {"render", "{dir}/in.wav", "{dir}/out.wav", "--set", "Speed=3"},
     kUsage,
     "unknown parameter 'Speed'; the plug-in has: Period, Freq 1, Freq 2, Q, Mix"},
    {"unreachable value",
     {"render", "{dir}/in.wav", "{dir}/out.wav", "--set", "Freq 1=50000"},
     kUsage,
     "parameter 'Freq 1' cannot be set to '50000': its range is 20 to 20000"},
    {"normalised value above 1",
     {"render", "{dir}/in.wav", "{dir}/out.wav", "--set-normalized", "Mix=1.5"},
     kUsage,
     "option --set-normalized Mix needs a value from 0 to 1, not '1.5'"},
    {"setting without a value",
     {"render", "{dir}/in.wav", "{dir}/out.wav", "--set", "Mix"},
     kUsage,
     "option --set needs NAME=VALUE, not 'Mix'"},
    {"preset without a name",
     {"render", "{dir}/in.wav", "{dir}/out.wav", "--preset="},
     kUsage,
     "option --preset needs a preset's name or URI"},
    // Options.
    {"tempo zero",
     {"render", "{dir}/in.wav", "{dir}/out.wav", "--bpm", "0"},
     kUsage,
     "option --bpm needs a positive tempo, not '0'"},
    {"tempo negative",
     {"render", "{dir}/in.wav", "{dir}/out.wav", "--bpm=-120"},
     kUsage,
     "option --bpm needs a positive tempo, not '-120'"},
    {"tempo not a number",
     {"render", "{dir}/in.wav", "{dir}/out.wav", "--bpm", "fast"},
     kUsage,
     "option --bpm needs a finite number, not 'fast'"},
    {"tempo not finite",
     {"render", "{dir}/in.wav", "{dir}/out.wav", "--bpm", "inf"},
     kUsage,
     "option --bpm needs a finite number, not 'inf'"},
    {"tempo NaN",
     {"render", "{dir}/in.wav", "{dir}/out.wav", "--bpm", "nan"},
     kUsage,
     "option --bpm needs a finite number, not 'nan'"},
    {"tempo missing", {"render", "{dir}/in.wav", "{dir}/out.wav", "--bpm"}, kUsage, "option --bpm needs a value"},
    {"block zero",
     {"render", "{dir}/in.wav", "{dir}/out.wav", "--block", "0"},
     kUsage,
     "option --block needs a size from 1 to 1048576, not 0"},
    {"block negative",
     {"render", "{dir}/in.wav", "{dir}/out.wav", "--block", "-4"},
     kUsage,
     "option --block needs a size from 1 to 1048576, not -4"},
    {"block fractional",
     {"render", "{dir}/in.wav", "{dir}/out.wav", "--block", "2.5"},
     kUsage,
     "option --block needs a whole number, not '2.5'"},
    {"time signature",
     {"render", "{dir}/in.wav", "{dir}/out.wav", "--time-sig", "4/3"},
     kUsage,
     "option --time-sig needs a signature such as 4/4 or 6/8, not '4/3'"},
    {"start beat",
     {"render", "{dir}/in.wav", "{dir}/out.wav", "--start-beat", "1e999"},
     kUsage,
     "option --start-beat needs a finite number"},
    {"negative tail",
     {"render", "{dir}/in.wav", "{dir}/out.wav", "--tail", "-1"},
     kUsage,
     "option --tail needs seconds from 0 to 3600, not '-1'"},
    {"unknown option",
     {"render", "{dir}/in.wav", "{dir}/out.wav", "--loud"},
     kUsage,
     "unknown option '--loud' for render"},
    {"output missing", {"render", "{dir}/in.wav"}, kUsage, "render needs an input and an output file"},
    {"unknown command", {"wobble"}, kUsage, "unknown command 'wobble'"},
    {"no command", {}, kUsage, "no command given; see dravelkint --help"},
};

// The scratch directory every case starts from.
void prepare(const ScratchDirectory& dir) {
    writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, testSignal(4000, 2));
    writeAudio(dir / "three.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 3, 44100, testSignal(100, 3));
    writeBytes(dir / "notes.txt", "not audio\n");
    writeBytes(dir / "existing.wav", "an older file\n");
    fs::create_directory(dir.path() / "folder");
    fs::create_hard_link(dir / "in.wav", dir / "link.wav");
}

TEST(BadInput, ClearMessageExitCodeAndNothingWritten) {
    for (const BadInput& c : kBadInputs) {
        SCOPED_TRACE(c.what);
        ScratchDirectory dir;
        prepare(dir);
        const auto before = dir.snapshot();
        std::vector<std::string> args;
        for (const std::string& a : c.args) args.push_back(dir.expand(a));
        const ToolRun run = runTool(args);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        const std::string message = dir.expand(c.message);
        EXPECT_EQ(run.err.rfind("dravelkint: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_EQ(dir.snapshot(), before);
        EXPECT_FALSE(fs::exists("/proc/dravelkint-out.wav"));
    }
}

TEST(BadInput, FailedRenderWithOverwriteKeepsTheOldOutput) {
    ScratchDirectory dir;
    prepare(dir);
    const auto before = dir.snapshot();
    const ToolRun run =
        runTool({"render", dir / "in.wav", dir / "existing.wav", "--overwrite", "--set", "Mix=200", "--quiet"});
    EXPECT_EQ(run.exitCode, kUsage);
    EXPECT_EQ(dir.snapshot(), before);
}

TEST(BadInput, HelpListsTheExitCodes) {
    const ToolRun run = runTool({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    for (const char* line : {"2    usage", "3    input file", "4    output file", "5    plug-in",
                             "6    the plug-in crashed", "130  interrupted"})
        EXPECT_NE(run.out.find(line), std::string::npos) << line;
}

// An interrupted render leaves neither the temporary file nor a damaged old
// output behind, and exits as shells show the signal: 128 and its number.
TEST(BadInput, InterruptedRenderLeavesNothingBehind) {
    ScratchDirectory dir;
    ScratchDirectory logs;
    writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, testSignal(44100 * 120, 2));
    writeBytes(dir / "out.wav", "an older file\n");
    const auto before = dir.snapshot();
    const struct {
        int signal;
        int exitCode;
        const char* message;
    } signals[] = {{SIGINT, 130, "interrupted by SIGINT"},
                   {SIGTERM, 143, "stopped by SIGTERM"},
                   {SIGHUP, 129, "stopped by SIGHUP"}};
    for (const auto& s : signals) {
        SCOPED_TRACE(s.message);
        const RunningTool tool = startTool(
            {"render", dir / "in.wav", dir / "out.wav", "--overwrite", "--block", "1", "--quiet"}, logs.path());
        // Wait until the temporary file exists, so the render is under way,
        // however long the machine takes to get there.
        while (dir.entries().size() == before.size() && !hasEnded(tool))
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_GT(dir.entries().size(), before.size()) << "the render ended before it wrote anything";
        ::kill(tool.pid, s.signal);
        const ToolRun run = finishToolRun(tool);
        EXPECT_EQ(run.exitCode, s.exitCode) << run.err;
        EXPECT_NE(run.err.find(std::string(s.message) + "; nothing was written to '" + (dir / "out.wav") + "'"),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(dir.snapshot(), before);
    }
}

// On a terminal of 60 columns every progress line fits in it, and the
// message of a render interrupted after its first progress line starts on a
// cleared line and leaves nothing behind.
TEST(BadInput, ProgressFitsTheTerminalAndMakesWayForMessages) {
    ScratchDirectory dir;
    writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, testSignal(44100 * 120, 2));
    const ToolRun run =
        interruptOnTerminal({"render", dir / "in.wav", dir / "out.wav", "--block", "1"}, 60, "real time", SIGINT);
    EXPECT_EQ(run.exitCode, 130) << run.out;
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"in.wav"});
    const std::string& screen = run.out;
    std::size_t bars = 0;
    for (std::size_t start = 0; start < screen.size();) {
        const std::size_t end = std::min(screen.find('\r', start), screen.size());
        const std::string line = screen.substr(start, end - start);
        if (line.find("real time") != std::string::npos) {
            ++bars;
            EXPECT_LE(line.size(), 59u + 3u) << line;  // and the 3 bytes that clear the rest of the line
        }
        start = end + 1;
    }
    EXPECT_GT(bars, 0u) << screen;
    EXPECT_NE(
        screen.find("\r\033[Kdravelkint: interrupted by SIGINT; nothing was written to '" + (dir / "out.wav") + "'"),
        std::string::npos)
        << screen;
}

}  // namespace
