// What a plug-in prints while a group of checks runs, kept apart from the
// report and cut to something a reader can take in: colours and other
// control characters removed, each different line kept once with how often
// it came, at most a few dozen lines of limited length.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vsthost::validate {

struct PrintedLine {
    std::string text;
    std::int64_t times = 0;
};

class PluginOutput {
public:
    void add(std::string_view bytes);
    // Takes a last line that has no newline yet.
    void finish();

    const std::vector<PrintedLine>& lines() const { return kept; }
    std::int64_t bytes() const { return total; }
    std::int64_t linesLeftOut() const { return leftOut; }
    // The last line printed, whether kept or not: what a process that
    // aborted said last.
    const std::string& lastLine() const { return last; }
    // Lines printed so far, kept or not.
    std::int64_t lineCount() const { return count; }

    static constexpr std::size_t kMaxLines = 40;
    static constexpr std::size_t kMaxLineLength = 200;

private:
    void line(std::string text);

    std::string pending;
    std::vector<PrintedLine> kept;
    std::unordered_map<std::string, std::size_t> index;  // text -> position in kept
    std::int64_t total = 0;
    std::int64_t leftOut = 0;
    std::int64_t count = 0;
    std::string last;
};

// "text" or "text (12 times)".
std::string shownLine(const PrintedLine& line);

}  // namespace vsthost::validate
