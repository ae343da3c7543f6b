// What a check process writes back to the validator, line by line, read as
// the validator reads it. An "R" line is taken only when its position names
// one of the group's runnable checks and its verdict is one there is, with
// the message as sent; any other line is left alone or refused, never a
// crash or a sanitizer report.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "host/validate/result_line.h"

namespace {

void require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte: how many checks the group runs.
    const std::size_t runnable = data[0] % 16;
    std::string pending(reinterpret_cast<const char*>(data + 1), size - 1);
    for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
        const std::string line = pending.substr(0, end);
        const std::vector<std::string> fields = vsthost::validate::fieldsOf(line);
        require(!fields.empty(), "a line without fields");
        std::string joined;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            require(fields[i].find('\t') == std::string::npos, "a field holding a tab");
            joined += (i == 0 ? "" : "\t") + fields[i];
        }
        require(joined == line, "fields that do not make up their line");
        const std::optional<vsthost::validate::ReportedResult> result = vsthost::validate::resultIn(fields, runnable);
        if (!result) continue;
        require(fields.size() == 5 && fields[0] == "R", "a result taken from a line that is not one");
        require(result->position < runnable, "a result for a check the group does not run");
        const int verdict = static_cast<int>(result->outcome.verdict);
        require(verdict >= 0 && verdict <= 3, "a verdict there is not");
        require(result->outcome.message == fields[4], "a message other than the one sent");
    }
    return 0;
}
