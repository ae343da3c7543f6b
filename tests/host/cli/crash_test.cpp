// A plug-in that crashes, aborts, throws or exits in any call, from its opening to
// its closing, ends the command with exit 6 and a message naming the call,
// and leaves the output folder as it was: no output, no temporary file, an
// older output untouched.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio_files.h"
#include "tool_process.h"

namespace {

constexpr int kCrash = 6;

std::string fixture(const std::string& name) { return std::string(FIXTURE_DIR) + "/" + name + ".so"; }

struct CallCase {
    const char* call;   // as the fixtures name it
    const char* named;  // as the message names it
};

const std::vector<CallCase> kCalls{
    {"open", "dispatcher(effOpen, index 0, value 0)"},          {"set-parameter", "setParameter(0, 0.5)"},
    {"start", "dispatcher(effMainsChanged, index 0, value 1)"}, {"process", "processReplacing(512 frames) at 44100 Hz"},
    {"stop", "dispatcher(effMainsChanged, index 0, value 0)"},  {"close", "dispatcher(effClose, index 0, value 0)"},
};

struct Failing {
    const char* plugin;
    const char* how;
};

const std::vector<Failing> kWays{
    {"crashing_in_call", "the plug-in crashed with SIGSEGV (segmentation fault) in "},
    {"throwing_in_call", "the plug-in threw an exception (std::bad_alloc) in "},
    {"exiting_in_call", "the plug-in ended the process (exit) in "},
};

// Under the sanitizers the fixtures' own faults are the point of the test.
Environment failingIn(const char* call) {
    return {{"DRAVELKINT_FIXTURE_FAIL_IN", call}, {"ASAN_OPTIONS", "detect_leaks=0:handle_abort=0:handle_segv=0"}};
}

TEST(PluginCrash, AFailureInAnyCallIsNamedAndLeavesNothingBehind) {
    for (const Failing& way : kWays) {
        for (const CallCase& c : kCalls) {
            SCOPED_TRACE(std::string(way.plugin) + " in " + c.call);
            ScratchDirectory dir;
            writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, testSignal(8000, 2));
            const std::vector<std::string> args{"render",   dir / "in.wav",      dir / "out.wav",
                                                "--plugin", fixture(way.plugin), "--set-normalized",
                                                "Gain=0.5", "--spectrogram",     dir / "out.png"};
            const ToolRun fresh = runTool(args, failingIn(c.call));
            EXPECT_EQ(fresh.exitCode, kCrash) << fresh.err;
            EXPECT_NE(fresh.err.find(std::string(way.how) + c.named), std::string::npos) << fresh.err;
            EXPECT_NE(fresh.err.find("nothing was written to '" + (dir / "out.wav") + "'"), std::string::npos)
                << fresh.err;
            EXPECT_EQ(dir.entries(), std::vector<std::string>{"in.wav"});

            // An output that was there before stays as it was.
            writeBytes(dir / "out.wav", "the previous render");
            const auto before = dir.snapshot();
            std::vector<std::string> again = args;
            again.push_back("--overwrite");
            EXPECT_EQ(runTool(again, failingIn(c.call)).exitCode, kCrash);
            EXPECT_EQ(dir.snapshot(), before);
        }
    }
}

TEST(PluginCrash, AnAbortAtCloseIsNamedToo) {
    ScratchDirectory dir;
    writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, testSignal(8000, 2));
    const ToolRun run =
        runTool({"render", dir / "in.wav", dir / "out.wav", "--plugin", fixture("crash_at_close")}, failingIn(""));
    EXPECT_EQ(run.exitCode, kCrash) << run.err;
    EXPECT_NE(run.err.find("the plug-in crashed with SIGABRT (aborted) in dispatcher(effClose, index 0, value 0)"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"in.wav"});
}

TEST(PluginCrash, InfoNamesTheCallToo) {
    for (const Failing& way : kWays) {
        SCOPED_TRACE(way.plugin);
        const ToolRun run = runTool({"info", "--plugin", fixture(way.plugin)}, failingIn("open"));
        EXPECT_EQ(run.exitCode, kCrash) << run.err;
        EXPECT_NE(run.err.find(std::string(way.how) + "dispatcher(effOpen"), std::string::npos) << run.err;
    }
}

TEST(PluginCrash, HelpListsItsExitCode) {
    const ToolRun help = runTool({"--help"});
    EXPECT_NE(help.out.find("  6    the plug-in crashed"), std::string::npos) << help.out;
}

}  // namespace
