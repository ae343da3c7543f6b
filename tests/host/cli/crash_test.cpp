// A plug-in that crashes, in processing or when it is closed, leaves no
// output and no temporary file behind, an existing output as it was, and a
// message that names the call; the exit code is the crash's own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio_files.h"
#include "tool_process.h"

namespace {

constexpr int kCrash = 6;

std::string fixture(const std::string& name) { return std::string(FIXTURE_DIR) + "/" + name + ".so"; }

struct CrashCase {
    const char* plugin;
    const char* message;
};

const std::vector<CrashCase> kCrashes{
    {"crash_in_process", "the plug-in crashed with SIGSEGV (segmentation fault) in processReplacing(512 frames)"},
    {"crash_at_close", "the plug-in crashed with SIGABRT (aborted) in dispatcher(effClose, index 0, value 0)"},
    {"throw_in_process", "the plug-in threw an exception (std::bad_alloc) in processReplacing(512 frames)"},
};

// Under the sanitizers the fixtures' own faults are the point of the test.
const Environment kLetItCrash{{"ASAN_OPTIONS", "detect_leaks=0:handle_abort=0:handle_segv=0"}};

TEST(PluginCrash, LeavesNothingBehindAndNamesTheCall) {
    for (const CrashCase& c : kCrashes) {
        SCOPED_TRACE(c.plugin);
        ScratchDirectory dir;
        writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, testSignal(8000, 2));
        const ToolRun fresh =
            runTool({"render", dir / "in.wav", dir / "out.wav", "--plugin", fixture(c.plugin)}, kLetItCrash);
        EXPECT_EQ(fresh.exitCode, kCrash) << fresh.err;
        EXPECT_NE(fresh.err.find(c.message), std::string::npos) << fresh.err;
        EXPECT_NE(fresh.err.find("nothing was written to '" + (dir / "out.wav") + "'"), std::string::npos) << fresh.err;
        EXPECT_EQ(fresh.err.find("wrote"), std::string::npos) << fresh.err;
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"in.wav"});

        // An output that was there before stays as it was.
        writeBytes(dir / "out.wav", "the previous render");
        const auto before = dir.snapshot();
        const ToolRun again = runTool(
            {"render", dir / "in.wav", dir / "out.wav", "--plugin", fixture(c.plugin), "--overwrite"}, kLetItCrash);
        EXPECT_EQ(again.exitCode, kCrash) << again.err;
        EXPECT_EQ(dir.snapshot(), before);
    }
}

TEST(PluginCrash, HelpListsItsExitCode) {
    const ToolRun help = runTool({"--help"});
    EXPECT_NE(help.out.find("  6    the plug-in crashed"), std::string::npos) << help.out;
}

}  // namespace
