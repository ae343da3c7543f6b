// What a plug-in prints, as the report shows it: colours and control
// characters gone, each line once with its count, long lines and many lines
// cut, and the last line kept for naming a crash.
#include "host/validate/plugin_output.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using vsthost::validate::PluginOutput;

struct Case {
    const char* what;
    std::vector<std::string> chunks;  // as they arrive from the pipe
    std::vector<std::pair<std::string, std::int64_t>> kept;
    std::string last;
};

TEST(PluginOutput, KeepsEachReadableLineOnceWithItsCount) {
    const std::vector<Case> cases{
        {"colours removed", {"\033[31massertion failure\033[0m\n"}, {{"assertion failure", 1}}, "assertion failure"},
        {"alternating lines counted apart",
         {"mismatch\ncannot start\nmismatch\ncannot start\nmismatch\n"},
         {{"mismatch", 3}, {"cannot start", 2}},
         "mismatch"},
        {"a line split across reads", {"half a ", "line\r\n"}, {{"half a line", 1}}, "half a line"},
        {"blank lines and tabs", {"\n\n\tindented\t\n"}, {{" indented", 1}}, " indented"},
        {"an unfinished last line", {"no newline"}, {{"no newline", 1}}, "no newline"},
    };
    for (const Case& c : cases) {
        PluginOutput output;
        for (const std::string& chunk : c.chunks) output.add(chunk);
        output.finish();
        std::vector<std::pair<std::string, std::int64_t>> kept;
        for (const auto& line : output.lines()) kept.emplace_back(line.text, line.times);
        EXPECT_EQ(kept, c.kept) << c.what;
        EXPECT_EQ(output.lastLine(), c.last) << c.what;
        EXPECT_EQ(output.linesLeftOut(), 0) << c.what;
    }
}

TEST(PluginOutput, CutsWhatNoReaderTakesIn) {
    PluginOutput output;
    std::string many;
    for (int i = 0; i < 100; ++i) many += "line " + std::to_string(i) + "\n";
    output.add(many);
    output.add(std::string(5000, 'x') + "\n");
    output.finish();
    EXPECT_EQ(output.lines().size(), PluginOutput::kMaxLines);
    EXPECT_EQ(output.linesLeftOut(), 100 - static_cast<std::int64_t>(PluginOutput::kMaxLines) + 1);
    EXPECT_EQ(output.bytes(), static_cast<std::int64_t>(many.size() + 5001));
    EXPECT_EQ(output.lastLine(), std::string(PluginOutput::kMaxLineLength, 'x') + "...");
    EXPECT_EQ(output.lineCount(), 101);
}

}  // namespace
