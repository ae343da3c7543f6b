// What every command shares on the command line: its own --help, --version,
// and "--" ending the options.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "audio_files.h"
#include "tool_process.h"

namespace {

struct HelpCase {
    std::vector<std::string> args;
    std::vector<std::string> shows;
    std::vector<std::string> leavesOut;  // another command's options
};

TEST(CommandLine, EachCommandHasItsOwnHelp) {
    const std::vector<HelpCase> cases{
        {{"render", "--help"},
         {"dravelkint render IN OUT", "--tempo-map", "--set NAME=VALUE", "--spectrogram"},
         {"--bars", "--strictness"}},
        {{"render", "in.wav", "-h"}, {"dravelkint render IN OUT"}, {}},
        {{"help", "render"}, {"dravelkint render IN OUT", "--automate"}, {"--dry"}},
        {{"demo", "--help"}, {"dravelkint demo [OUT]", "--bars", "--dry", "--block"}, {"--tempo-map", "--strictness"}},
        {{"info", "--help"}, {"dravelkint info", "--json", "--set NAME=VALUE"}, {"--tail", "--strictness"}},
        {{"validate", "--help"}, {"--strictness", "load.entry", "denormals.tail-cost"}, {"--tempo-map"}},
        {{"--help"}, {"dravelkint COMMAND --help", "130  interrupted"}, {"--tempo-map"}},
    };
    for (const HelpCase& c : cases) {
        const ToolRun run = runTool(c.args);
        EXPECT_EQ(run.exitCode, 0) << c.args[0] << " " << c.args.back() << run.err;
        for (const std::string& text : c.shows) EXPECT_NE(run.out.find(text), std::string::npos) << text;
        for (const std::string& text : c.leavesOut) EXPECT_EQ(run.out.find(text), std::string::npos) << text;
    }
}

TEST(CommandLine, VersionIsOneLine) {
    const ToolRun run = runTool({"--version"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(std::regex_match(run.out, std::regex("dravelkint [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << run.out;
}

TEST(CommandLine, DashCapitalVIsTheVersion) {
    const ToolRun longForm = runTool({"--version"});
    const ToolRun shortForm = runTool({"-V"});
    EXPECT_EQ(shortForm.exitCode, 0) << shortForm.err;
    EXPECT_EQ(shortForm.out, longForm.out);
}

// Nothing the user asked for is dropped in silence: a second value for an
// option that holds one, a tempo given both ways, settings for no plug-in,
// two plug-ins for one validation.
TEST(CommandLine, WhatWouldBeIgnoredIsRefused) {
    ScratchDirectory dir;
    writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, testSignal(4410, 2));
    const std::string in = dir / "in.wav";
    const std::string out = dir / "out.wav";
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const std::vector<Case> cases{
        {{"render", in, out, "--bpm", "120", "--bpm=130"}, "option --bpm is given twice"},
        {{"render", in, out, "--plugin", "a.so", "--plugin", "b.so"}, "option --plugin is given twice"},
        {{"render", in, out, "--block", "256", "--block", "512"}, "option --block is given twice"},
        {{"render", in, out, "--start-beat", "0", "--start-beat", "4"}, "option --start-beat is given twice"},
        {{"render", in, out, "--sidechain", in, "--sidechain", in}, "option --sidechain is given twice"},
        {{"demo", out, "--bars", "2", "--bars", "4"}, "option --bars is given twice"},
        {{"info", "--plugin", "a.so", "--plugin", "b.so"}, "option --plugin is given twice"},
        {{"validate", "--seed", "1", "--seed", "2"}, "option --seed is given twice"},
        {{"validate", "--timeout", "10", "--timeout", "20"}, "option --timeout is given twice"},
        {{"render", in, out, "--bpm", "128", "--tempo-map", "0:120,4:140"},
         "options --bpm and --tempo-map both give the tempo at the start (beat 0)"},
        {{"render", in, out, "--start-beat", "8", "--bpm", "128", "--tempo-map", "4:120"},
         "both give the tempo at the start (beat 8)"},
        {{"demo", out, "--dry", "--set", "Mix=50"}, "nothing to set"},
        {{"demo", out, "--dry", "--set-normalized", "Mix=0.5"}, "nothing to set"},
        {{"demo", out, "--dry", "--plugin", "a.so"}, "demo --dry runs no plug-in"},
        {{"validate", "a.so", "--plugin", "b.so"}, "validate takes one plug-in"},
        {{"validate", "a.so", "b.so"}, "validate takes one plug-in"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        const ToolRun run = runTool(c.args);
        EXPECT_EQ(run.exitCode, 2) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    // --bpm holds until a tempo map that starts later; the operand of
    // validate is its plug-in, as that of info is.
    ToolRun run = runTool({"render", in, out, "--bpm", "128", "--tempo-map", "4:140", "--quiet"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    for (const char* command : {"info", "validate"}) {
        run = runTool({command, dir / "none.so"});
        EXPECT_EQ(run.exitCode, 5) << command << run.err;
        EXPECT_NE(run.err.find("plug-in '" + dir / "none.so" + "' cannot be opened"), std::string::npos) << run.err;
    }
}

TEST(CommandLine, PictureSizesOutsideTheLimitsAreRefused) {
    ScratchDirectory dir;
    for (const char* bad : {"800", "800x", "x400", "800x400x2", "-800x400", "800X400", "399x400", "800x239", "3841x400",
                            "800x2161", " 800x400"}) {
        SCOPED_TRACE(bad);
        const ToolRun run =
            runTool({"demo", dir / "out.wav", "--dry", "--spectrogram", dir / "out.png", "--spectrogram-size", bad});
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_NE(run.err.find("option --spectrogram-size needs WIDTHxHEIGHT"), std::string::npos) << run.err;
    }
    const ToolRun run = runTool({"demo", dir / "out.wav", "--dry", "--bars", "1", "--spectrogram", dir / "out.png",
                                 "--spectrogram-size", "800x400"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
}

TEST(CommandLine, DoubleDashEndsTheOptions) {
    ScratchDirectory dir;
    writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, testSignal(2000, 2));
    // Before "--" options count; after it, even "--help" is a file name.
    ToolRun run = runTool({"render", "--quiet", "--", dir / "in.wav", dir / "out.wav"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(readAudio(dir / "out.wav").samples.size(), 4000u);
    run = runTool({"render", dir / "in.wav", dir / "again.wav", "--", "--help"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("render needs an input and an output file"), std::string::npos) << run.err;
    run = runTool({"info", "--", "--json"});
    EXPECT_EQ(run.exitCode, 5);
    EXPECT_NE(run.err.find("'--json'"), std::string::npos) << run.err;
}

// A group --only does not know is answered with every group it does know:
// those of the checks --help lists, load first, and load is one of them.
TEST(CommandLine, AnUnknownCheckGroupIsAnsweredWithEveryGroup) {
    const ToolRun help = runTool({"validate", "--help"});
    std::string groups;
    std::string last;
    const std::regex check("\n +[0-9]+  [VSTL2 ]{7}  ([a-z-]+)\\.");
    for (auto it = std::sregex_iterator(help.out.begin(), help.out.end(), check); it != std::sregex_iterator(); ++it)
        if ((*it)[1] != last) {
            last = (*it)[1];
            groups += (groups.empty() ? "" : ", ") + last;
        }
    ASSERT_EQ(groups.rfind("load, identity, ", 0), 0u) << help.out;
    const ToolRun unknown = runTool({"validate", "--only", "grid,wobble"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("no check group 'wobble'; the groups are " + groups + "\n"), std::string::npos)
        << unknown.err;
    const ToolRun load = runTool({"validate", "--only", "load", "--seed", "1"});
    EXPECT_EQ(load.exitCode, 0) << load.err;
}

TEST(CommandLine, HelpOnNothingKnownIsAUsageError) {
    const ToolRun run = runTool({"help", "wobble"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("the commands are render, demo, info, validate and list"), std::string::npos) << run.err;
}

}  // namespace
