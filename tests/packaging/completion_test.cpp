// The bash completion, sourced into bash as bash-completion does and asked
// what it offers at a few points of a command line.
#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "tool_process.h"

namespace {

// COMPREPLY for the words after the program (the last is the one being
// completed); the program is the built one, as if typed by its path.
std::set<std::string> completions(const std::vector<std::string>& words) {
    std::vector<std::string> args{"-c",
                                  "source \"$1\"; shift; COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); "
                                  "_dravelkint; printf '%s\\n' \"${COMPREPLY[@]}\"",
                                  "bash", DRAVELKINT_COMPLETION, DRAVELKINT_TOOL_PATH};
    args.insert(args.end(), words.begin(), words.end());
    const ToolRun run = runTool(args, {}, BASH_PATH);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    std::set<std::string> offered;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty()) offered.insert(line);
    return offered;
}

TEST(Completion, OffersCommandsOptionsAndTheNamedPluginsParameters) {
    const std::set<std::string> dravelkint{"Period=", "Freq\\ 1=", "Freq\\ 2=", "Q=", "Mix="};
    struct Row {
        std::vector<std::string> words;
        std::set<std::string> expected;
    };
    const Row rows[] = {
        {{""}, {"demo", "info", "list", "render", "validate"}},
        {{"--v"}, {"--version"}},
        {{"render", "--t"}, {"--tail", "--tempo-map", "--time-sig"}},
        {{"info", "--s"}, {"--set", "--set-normalized"}},
        {{"render", "in.wav", "out.wav", "--set", "Fr"}, {"Freq\\ 1=", "Freq\\ 2="}},
        {{"render", "--automate", "=", ""}, dravelkint},
        {{"info", "--plugin", FIXTURE_DISPLAYS_PATH, "--set-normalized", ""},
         {"Gain=", "Mode=", "Time=", "Ratio=", "Switch="}},
        {{"demo", "--plugin", "=", FIXTURE_DISPLAYS_PATH, "--set", "R"}, {"Ratio="}},
        {{"render", "--sample-format", "f"}, {"float"}},
        {{"list", "--format", ""}, {"lv2", "vst2"}},
        {{"list", "--"}, {"--format", "--help", "--json"}},
        {{"render", "--bpm", ""}, {}},
    };
    for (const Row& row : rows) {
        std::string line;
        for (const std::string& w : row.words) line += " " + w;
        EXPECT_EQ(completions(row.words), row.expected) << "dravelkint" << line;
    }
}

}  // namespace
