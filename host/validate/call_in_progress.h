// A page shared between the validator and the freshly started process that
// runs a group of checks. Before every call into the plug-in the process
// writes what it is about to call, so that when the plug-in crashes or hangs
// the validator can name the call; a counter moves with every call made and
// returned, so that the validator can tell a call that never returns from a
// plug-in that is merely slow. While the process runs the validator only
// watches the counter and whether a call is in progress; it reads the texts
// once the process has ended and can no longer change them.
#pragma once

#include <atomic>
#include <cstdint>

namespace vsthost::validate {

struct RecentCall {
    char text[240];
    std::int32_t repeats;  // the same call made this many times in a row
};

constexpr int kRecentCalls = 6;

struct ChildProgress {
    std::atomic<std::uint64_t> moves;  // counts every call made and returned
    std::int32_t check;                // position of the running check, -1 between checks
    float callLimitScale;              // the call now made may take this many times the usual limit
    char call[240];                    // the call in progress, empty between calls
    char context[120];                 // what else goes on around it, e.g. another thread
    char threw[240];                   // the call an exception came out of, empty if none
    RecentCall recent[kRecentCalls];   // the calls that returned last, oldest first
};

static_assert(std::atomic<std::uint64_t>::is_always_lock_free, "the counter is shared between processes");

// The page. The validator creates it as a file it hands to each process it
// starts (createProgressPage); that process maps it (attachProgressPage).
// Without either, a page of the process's own.
ChildProgress& childProgress();
int createProgressPage();
void attachProgressPage(int fd);
// Between checks: no call, nothing thrown, no calls remembered.
void clearProgress();

// printf-style description of the call about to be made.
void noteCall(const char* format, ...) __attribute__((format(printf, 1, 2)));
void noteCallDone();
// Appended to every call noted until it is cleared with "".
void noteContext(const char* context);
// The call in progress has thrown an exception that is leaving it.
void noteCallThrew();

// While one lives, calls may take `factor` times the usual limit before they
// count as hung: opening an editor builds a whole window.
class LongCalls {
public:
    explicit LongCalls(double factor);
    ~LongCalls();
    LongCalls(const LongCalls&) = delete;
    LongCalls& operator=(const LongCalls&) = delete;

private:
    float previous;
};

}  // namespace vsthost::validate
