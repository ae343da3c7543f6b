// A page shared between the validator and the child process that runs a
// group of checks. Before every call into the plug-in the child writes what
// it is about to call, so that when the plug-in crashes or hangs the parent
// can name the call. Nothing is formatted or allocated on the parent's side
// until the child has ended.
#pragma once

#include <cstdint>

namespace vsthost::validate {

struct ChildProgress {
    std::int32_t check;  // index of the running check within its group, -1 between checks
    char call[240];      // the call in progress, empty between calls
    char context[80];    // what else goes on around it, e.g. another thread
};

// The page, mapped once and shared by every child forked after that.
ChildProgress& childProgress();

// printf-style description of the call about to be made.
void noteCall(const char* format, ...) __attribute__((format(printf, 1, 2)));
void noteCallDone();
// Appended to every call noted until it is cleared with "".
void noteContext(const char* context);

}  // namespace vsthost::validate
