// Runs a piece of work that calls into the plug-in in a forked copy of this
// process, so that a crash or hang there is an answer rather than the end of
// the check that asked.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace vsthost::validate {

struct ForkedAnswer {
    std::optional<std::string> text;  // what the work answered, when it ended normally
    std::string death;                // otherwise how the copy ended: "crashed with SIGSEGV", ...
};

// `work` runs in the copy; `limitSeconds` bounds it.
ForkedAnswer answerInFork(const std::function<std::string()>& work, double limitSeconds);

}  // namespace vsthost::validate
