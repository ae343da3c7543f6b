// The manual page says what --help says: every option of the general help
// and of each command's help appears in that command's part of the page, as
// man shows it, and man shows it without a complaint.
#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "tool_process.h"

namespace {

std::set<std::string> optionsIn(const std::string& text) {
    static const std::regex option(R"((^|[^A-Za-z0-9-])(--[a-z][a-z0-9-]*))");
    std::set<std::string> found;
    for (std::sregex_iterator m(text.begin(), text.end(), option), end; m != end; ++m) found.insert((*m)[2]);
    return found;
}

// The page as a reader sees it: through man where it is installed, else the
// roff source with its minus signs and font changes undone.
std::string renderedPage() {
    if (MAN_PATH[0] != '\0') {
        const ToolRun run = runTool({"--warnings", "-l", DRAVELKINT_MANUAL_PAGE},
                                    {{"LC_ALL", "C"}, {"MANWIDTH", "100"}, {"MANPAGER", "cat"}}, MAN_PATH);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, "") << "man complains of the page";
        return run.out;
    }
    std::string roff = readBytes(DRAVELKINT_MANUAL_PAGE);
    roff = std::regex_replace(roff, std::regex(R"(\\-)"), "-");
    roff = std::regex_replace(roff, std::regex(R"(\\f[BIR])"), "");
    return std::regex_replace(roff, std::regex(R"re(^\.SH "?([^"\n]*)"?$)re", std::regex::multiline), "$1");
}

// From a line "COMMAND: NAME" to the next such line; "" is the general part
// before the first.
std::string partOf(const std::string& page, const std::string& command) {
    static const std::regex heading(R"((^|\n)COMMAND: [A-Z-]+\n)");
    std::size_t start = 0;
    if (!command.empty()) {
        std::string upper = command;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        start = page.find("\nCOMMAND: " + upper + "\n");
        if (start == std::string::npos) return "";
        ++start;
    }
    std::smatch next;
    const std::string rest = page.substr(start + 1);
    return page.substr(start, std::regex_search(rest, next, heading) ? next.position(0) + 1 : std::string::npos);
}

TEST(ManualPage, HoldsEveryOptionOfEveryHelpInItsCommandsPart) {
    const std::string page = renderedPage();
    const ToolRun general = runTool({"--help"});
    ASSERT_EQ(general.exitCode, 0);
    std::set<std::string> commands;
    const std::regex usage(R"(\n  dravelkint ([a-z]+) )");
    for (std::sregex_iterator m(general.out.begin(), general.out.end(), usage), end; m != end; ++m)
        commands.insert((*m)[1]);
    EXPECT_EQ(commands, (std::set<std::string>{"demo", "render", "info", "validate", "list"}));

    EXPECT_EQ(optionsIn(partOf(page, "")), optionsIn(general.out)) << "the general part";
    for (const std::string& command : commands) {
        const ToolRun help = runTool({command, "--help"});
        ASSERT_EQ(help.exitCode, 0) << command;
        const std::string part = partOf(page, command);
        ASSERT_FALSE(part.empty()) << "no part for " << command << "\n" << page;
        EXPECT_GT(optionsIn(help.out).size(), 1u) << command;
        EXPECT_EQ(optionsIn(part), optionsIn(help.out)) << command;
    }
}

}  // namespace
