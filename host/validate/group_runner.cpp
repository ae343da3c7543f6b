#include "group_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <vector>

#include "call_in_progress.h"
#include "call_sequence.h"
#include "elapsed_seconds.h"
#include "fresh_process.h"
#include "host/text/figures.h"
#include "result_line.h"

namespace vsthost::validate {

namespace {

using Clock = std::chrono::steady_clock;

struct Pipe {
    int read = -1;
    int write = -1;
    Pipe() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
        read = fds[0];
        write = fds[1];
        ::fcntl(read, F_SETFL, O_NONBLOCK);
    }
    ~Pipe() {
        closeWrite();
        if (read >= 0) ::close(read);
    }
    void closeWrite() {
        if (write >= 0) ::close(write);
        write = -1;
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
};

// Reads what is there; false at the end of the stream.
bool drain(int fd, std::string& into) {
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            into.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
}

std::string endOfProcess(int status) {
    char text[160];
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        const char* abbreviation = ::sigabbrev_np(signal);
        std::snprintf(text, sizeof text, "crashed with SIG%s (%s)", abbreviation ? abbreviation : "?",
                      ::strsignal(signal));
    } else {
        std::snprintf(text, sizeof text, "ended with exit status %d", WEXITSTATUS(status));
    }
    return text;
}

// What the C library prints when it finds its heap damaged, before it aborts.
bool heapMessage(const std::string& line) {
    for (const char* sign : {"free()", "malloc()", "malloc_consolidate", "double free", "corrupted", "munmap_chunk",
                             "realloc()", "invalid pointer", "invalid size"})
        if (line.find(sign) != std::string::npos) return true;
    return false;
}

std::string recentCalls(const ChildProgress& progress) {
    std::string text;
    for (const RecentCall& call : progress.recent) {
        if (call.text[0] == '\0') continue;
        std::string one(call.text, ::strnlen(call.text, sizeof call.text));
        if (call.repeats > 1) one += " (" + std::to_string(call.repeats) + " times)";
        text += (text.empty() ? "" : ", ") + one;
    }
    return text;
}

std::string terminated(const char* text, std::size_t size) { return std::string(text, ::strnlen(text, size)); }

// Why the process ended before it reported the check it ran.
std::string deathMessage(int status, std::optional<double> hungAfter, const ChildProgress& progress,
                         const PluginOutput& output, bool printedDuringCheck) {
    const std::string call = terminated(progress.call, sizeof progress.call);
    const std::string threw = terminated(progress.threw, sizeof progress.threw);
    const std::string before = recentCalls(progress);
    if (hungAfter) {
        if (!call.empty()) return "no answer within " + secondsText(*hungAfter) + ", in " + call;
        return "no progress for " + secondsText(*hungAfter) + " outside any call into the plug-in" +
               (before.empty() ? "" : "; the calls before: " + before);
    }
    // "crashed with ..." reads without a subject; "ended with ..." needs one.
    std::string message = !threw.empty()      ? threw + " threw an exception; then the process "
                          : WIFEXITED(status) ? "the process "
                                              : "";
    message += endOfProcess(status);
    const std::string last = printedDuringCheck ? output.lastLine() : "";
    const bool aborted = WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT;
    if (aborted && heapMessage(last))
        message += ": the C library found its heap corrupted (\"" + last + "\")";
    else if (!last.empty() && (aborted || WIFEXITED(status)))
        message += " after printing \"" + last + "\"";
    message += call.empty() ? ", outside any call into the plug-in" : ", in " + call;
    // Damage is often noticed a call or two after it was done.
    if ((call.empty() || aborted) && !before.empty()) message += "; the calls before: " + before;
    return message;
}

int progressPage() {
    static const int fd = createProgressPage();
    return fd;
}

}  // namespace

std::vector<std::string> childArguments(const RunSettings& settings, const std::string& groupAndStart) {
    char limit[32];
    std::snprintf(limit, sizeof limit, "%.17g", settings.callLimitSeconds);
    std::vector<std::string> args{"validate",
                                  "--child",
                                  groupAndStart,
                                  "--plugin",
                                  settings.pluginPath,
                                  "--strictness",
                                  std::to_string(settings.strictness),
                                  "--seed",
                                  std::to_string(settings.seed),
                                  "--call-limit",
                                  limit};
    if (!settings.sequenceDir.empty()) args.insert(args.end(), {"--save-sequences", settings.sequenceDir});
    return args;
}

GroupRun runGroup(const CheckGroup& group, const RunSettings& settings, Deadline deadline, const GroupEvents& events,
                  const std::atomic<bool>* stop) {
    const auto stopAsked = [stop] { return stop != nullptr && stop->load(); };
    const auto groupStart = Clock::now();
    GroupRun run;
    run.group = group.name;
    const std::size_t total = group.checks.size();
    std::vector<std::optional<CheckResult>> results(total);
    auto result = [&](std::size_t i, const Outcome& outcome, double seconds) {
        results[i] =
            CheckResult{group.name, group.checks[i].id, outcome.verdict, outcome.message, seconds, outcome.others};
    };
    std::vector<std::size_t> runnable;
    for (std::size_t i = 0; i < total; ++i) {
        if (group.checks[i].strictness > settings.strictness)
            result(i, skipped("needs strictness " + std::to_string(group.checks[i].strictness)), 0.0);
        else if (group.needsDisplay && !settings.noDisplay.empty())
            result(i, skipped("no X display: " + settings.noDisplay), 0.0);
        else
            runnable.push_back(i);
    }
    std::size_t emitted = 0;
    auto emit = [&] {
        for (; emitted < total && results[emitted]; ++emitted)
            if (!group.checks[emitted].quiet) events.check(*results[emitted]);
    };
    emit();

    const int page = progressPage();
    ChildProgress& progress = childProgress();
    std::size_t next = 0;  // the first runnable check without a result
    while (next < runnable.size()) {
        if (stopAsked()) {
            run.stopped = true;
            break;
        }
        if (Clock::now() >= deadline) {
            for (std::size_t k = next; k < runnable.size(); ++k)
                result(runnable[k],
                       skipped("not run: the overall time limit of " + secondsText(settings.timeLimitSeconds) +
                               " ran out"),
                       0.0);
            run.cutShort = true;
            break;
        }
        clearProgress();
        Pipe lines;
        Pipe output;
        ProcessPlan plan;
        plan.program = settings.program;
        plan.args = childArguments(settings, group.name + ":" + std::to_string(next));
        plan.outputFd = output.write;
        plan.resultFd = lines.write;
        plan.progressFd = page;
        if (group.needsDisplay) plan.environment.emplace_back("DISPLAY", settings.display);
        const pid_t pid = startFreshProcess(plan);
        lines.closeWrite();
        output.closeWrite();

        auto checkStart = Clock::now();
        std::int64_t linesAtCheck = run.output.lineCount();
        auto lastMove = Clock::now();
        std::uint64_t moves = progress.moves.load(std::memory_order_acquire);
        std::optional<double> hungAfter;
        bool outOfTime = false;
        std::string pending;
        std::string printed;
        std::string malformed;        // a result line that does not parse
        std::vector<Finding> others;  // for the result line that follows them
        bool exited = false;
        for (;;) {
            pollfd fds[2] = {{lines.read, POLLIN, 0}, {output.read, POLLIN, 0}};
            ::poll(fds, 2, 100);
            if (stopAsked()) {
                run.stopped = true;
                break;
            }
            drain(lines.read, pending);
            printed.clear();
            drain(output.read, printed);
            // A check may begin and die within one round: what this round
            // read may be its dying words, whichever pipe was read first.
            const std::int64_t linesBeforeRound = run.output.lineCount();
            run.output.add(printed);
            for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
                const std::vector<std::string> fields = fieldsOf(pending.substr(0, end));
                if (fields[0] == "B" && fields.size() == 2) {
                    others.clear();
                    checkStart = Clock::now();
                    linesAtCheck = linesBeforeRound;
                } else if (fields[0] == "S" && fields.size() == 4) {
                    const std::optional<ReportedFinding> reported = findingIn(fields, runnable.size());
                    if (!reported) {
                        malformed = pending.substr(0, end);
                        break;
                    }
                    others.push_back(reported->finding);
                } else if (fields[0] == "R" && fields.size() == 5) {
                    std::optional<ReportedResult> reported = resultIn(fields, runnable.size());
                    if (!reported) {
                        malformed = pending.substr(0, end);
                        break;
                    }
                    reported->outcome.others = std::move(others);
                    others.clear();
                    result(runnable[reported->position], reported->outcome, reported->seconds);
                    next = reported->position + 1;
                    emit();
                } else if (fields[0] == "F" && fields.size() == 3) {
                    if (events.fact) events.fact(fields[1], fields[2]);
                } else if (fields[0] == "N" && fields.size() == 2) {
                    run.notPlugin = fields[1];
                }
            }
            if (exited || !malformed.empty()) break;
            siginfo_t info{};
            if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
                info.si_pid == pid) {
                exited = true;  // one more round reads what it left in the pipes
                continue;
            }
            const std::uint64_t now = progress.moves.load(std::memory_order_acquire);
            if (now != moves) {
                moves = now;
                lastMove = Clock::now();
            }
            const bool inCall = progress.call[0] != '\0';
            const double limit = settings.callLimitSeconds * (inCall ? std::max(1.0f, progress.callLimitScale) : 1.0);
            if (secondsSince(lastMove) > limit) {
                hungAfter = limit;
                break;
            }
            if (Clock::now() >= deadline) {
                outOfTime = true;
                break;
            }
        }
        // Whatever the process started goes with it.
        endProcessGroup(pid);
        const int status = waitForProcess(pid);
        run.output.finish();
        // A process stopped after it reported its last check ended the group in full.
        if (run.stopped) {
            run.stopped = next < runnable.size();
            break;
        }
        if (!malformed.empty())
            throw std::logic_error("internal fault: the process running the " + group.name +
                                   " checks reported a result line that does not parse: \"" + malformed + "\"");
        if (!run.notPlugin.empty()) {
            // Loaded before, so every check left gets the loader's reason.
            for (std::size_t k = next; k < runnable.size(); ++k)
                result(runnable[k], failed("the library no longer loads: " + run.notPlugin), 0.0);
            break;
        }
        if (next >= runnable.size()) break;

        // The process ended, or was ended, before it reported the check it
        // was running: that check gets the verdict, naming the call.
        const std::size_t culprit =
            progress.check >= static_cast<std::int32_t>(next) ? static_cast<std::size_t>(progress.check) : next;
        const Check& check = group.checks[runnable[culprit]];
        if (outOfTime) {
            run.cutShort = true;
            const std::string call = terminated(progress.call, sizeof progress.call);
            result(runnable[culprit],
                   skipped("cut short by the overall time limit of " + secondsText(settings.timeLimitSeconds) +
                           (call.empty() ? "" : ", in " + call)),
                   secondsSince(checkStart));
        } else {
            std::string message =
                deathMessage(status, hungAfter, progress, run.output, run.output.lineCount() > linesAtCheck);
            const std::string calls = sequencePath(settings.sequenceDir, check.id);
            if (!settings.sequenceDir.empty() && ::access(calls.c_str(), F_OK) == 0)
                message += "; its calls are in " + calls;
            result(runnable[culprit], crashOutcome(check, settings.strictness, message), secondsSince(checkStart));
        }
        next = culprit + 1;
        emit();
    }
    emit();
    run.seconds = secondsSince(groupStart);
    return run;
}

}  // namespace vsthost::validate
